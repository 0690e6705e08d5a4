#include "common/CodePage.h"

#include <iconv.h>

#include <cerrno>

namespace qm {

namespace {

void AppendLatin1(std::string& out, unsigned char byte) {
  out += static_cast<char>(0xC0 | (byte >> 6));
  out += static_cast<char>(0x80 | (byte & 0x3F));
}

// One converter per thread, opened on first use: iconv handles keep state and are not shared.
class TConverter {
 public:
  TConverter() : cd_(iconv_open("UTF-8", "CP936")) {}
  ~TConverter() {
    if (Valid()) iconv_close(cd_);
  }
  TConverter(const TConverter&) = delete;
  TConverter& operator=(const TConverter&) = delete;
  bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  void Convert(std::string_view bytes, std::string& out) {
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    while (inLeft > 0) {
      char buffer[256];
      char* o = buffer;
      std::size_t outLeft = sizeof buffer;
      std::size_t rc = iconv(cd_, &in, &inLeft, &o, &outLeft);
      out.append(buffer, static_cast<std::size_t>(o - buffer));
      if (rc != static_cast<std::size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL (a lead byte at the end): keep the byte as Latin-1 and go on after it.
      AppendLatin1(out, static_cast<unsigned char>(*in));
      ++in;
      --inLeft;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
  }

 private:
  iconv_t cd_;
};

}  // namespace

std::string MeterTextToUtf8(std::string_view bytes) {
  bool ascii = true;
  for (char c : bytes)
    if (static_cast<unsigned char>(c) >= 0x80) {
      ascii = false;
      break;
    }
  if (ascii) return std::string(bytes);
  std::string out;
  out.reserve(bytes.size() * 2);
  thread_local TConverter converter;
  if (converter.Valid()) {
    converter.Convert(bytes, out);
  } else {
    for (char c : bytes) {
      auto b = static_cast<unsigned char>(c);
      if (b < 0x80)
        out += c;
      else
        AppendLatin1(out, b);
    }
  }
  return out;
}

}  // namespace qm
