// One decoded reading as a line of text: what the CLI prints for each reading. Shared so that
// every front end that writes readings as text writes them alike.
#pragma once

#include <string>

#include "protocol/MeterProtocol.h"

namespace qm {

// Short names of the annunciators, in the status decoder's order ("HOLD", "BAT", ..., "W").
const char* AnnunciatorName(TAnnunciator flag);

// "PWRP  aux[   ]  main[ 1.234] KW  sub1[230.1] V  sub2[ 5.36] A  {HOLD MAX}" — texts as bytes.
std::string FormatReadingLine(const MeterReading& reading, const TMeterProtocol& protocol);

}  // namespace qm
