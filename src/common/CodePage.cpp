#include "common/CodePage.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>

#include <cerrno>
#endif

namespace qm {

namespace {

void AppendLatin1(std::string& out, unsigned char byte) {
  out += static_cast<char>(0xC0 | (byte >> 6));
  out += static_cast<char>(0x80 | (byte & 0x3F));
}

#ifdef _WIN32

void AppendUtf8(std::string& out, const wchar_t* wide, int count) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide, count, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return;
  const std::size_t at = out.size();
  out.resize(at + static_cast<std::size_t>(size));
  WideCharToMultiByte(CP_UTF8, 0, wide, count, out.data() + at, size, nullptr, nullptr);
}

// Windows shows 8-bit texts through the ANSI code page, so the program does too. One character
// (one byte, or a lead and a trail byte) at a time, so a byte that starts no valid character
// costs only itself.
void ConvertAnsi(std::string_view bytes, std::string& out) {
  const UINT codePage = GetACP();
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (byte < 0x80) {
      out += static_cast<char>(byte);
      ++i;
      continue;
    }
    const int length = IsDBCSLeadByteEx(codePage, byte) && i + 1 < bytes.size() ? 2 : 1;
    wchar_t wide[2];
    const int count =
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data() + i, length, wide, 2);
    if (count > 0) {
      AppendUtf8(out, wide, count);
      i += static_cast<std::size_t>(length);
    } else {
      AppendLatin1(out, byte);
      ++i;
    }
  }
}

#else

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

#endif

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
#ifdef _WIN32
  ConvertAnsi(bytes, out);
#else
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
#endif
  return out;
}

}  // namespace qm
