#include "devices/linux/HidrawNames.h"

#include <cstdio>

#include "devices/HIDGlobal.h"

namespace qm::hid::hidraw {
namespace {

std::optional<unsigned> HexDigit(char c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
  return std::nullopt;
}

// Exactly four hex digits.
std::optional<std::uint16_t> Hex4(std::string_view text) {
  if (text.size() != 4) return std::nullopt;
  return ParseHex16(text);
}

bool AllHex(std::string_view text) {
  for (char c : text)
    if (!HexDigit(c)) return false;
  return true;
}

std::string Hex4Text(std::uint16_t value) {
  char text[5];
  std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(value));
  return text;
}

std::string GuidText(const TGUID& g) {
  char text[39];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", static_cast<unsigned>(g.D1),
                static_cast<unsigned>(g.D2), static_cast<unsigned>(g.D3), g.D4[0], g.D4[1], g.D4[2], g.D4[3], g.D4[4],
                g.D4[5], g.D4[6], g.D4[7]);
  return text;
}

// Bytes of a UTF-8 sequence from its lead byte; 0 for a byte that cannot start one.
std::size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

std::string VidPid(const THidName& hid) { return "VID_" + Hex4Text(hid.Vendor) + "&PID_" + Hex4Text(hid.Product); }

}  // namespace

std::optional<THidName> ParseHidName(std::string_view text) {
  // "BBBB:VVVV:PPPP." then the counter, which the kernel writes with at least four digits.
  if (text.size() < 19 || text[4] != ':' || text[9] != ':' || text[14] != '.') return std::nullopt;
  auto bus = Hex4(text.substr(0, 4));
  auto vendor = Hex4(text.substr(5, 4));
  auto product = Hex4(text.substr(10, 4));
  std::string_view counter = text.substr(15);
  if (!bus || !vendor || !product || counter.size() > 8 || !AllHex(counter)) return std::nullopt;
  return THidName{*bus, *vendor, *product, std::string(text)};
}

std::optional<THidrawNode> NodeFromDevPath(std::string_view devPath, std::string_view devNode) {
  const auto lastSlash = devPath.rfind('/');
  if (lastSlash == std::string_view::npos || lastSlash + 1 == devPath.size()) return std::nullopt;
  THidrawNode node;
  node.NodeName = std::string(devPath.substr(lastSlash + 1));
  node.DevNode = devNode.empty() ? "/dev/" + node.NodeName : std::string(devNode);
  // The nearest ancestor named like a HID device is the node's HID device.
  for (auto end = lastSlash; end != std::string_view::npos && end > 0;) {
    const auto begin = devPath.rfind('/', end - 1);
    if (begin == std::string_view::npos) break;
    if (auto hid = ParseHidName(devPath.substr(begin + 1, end - begin - 1))) {
      node.Hid = std::move(*hid);
      node.HidSysPath = "/sys" + std::string(devPath.substr(0, end));
      return node;
    }
    end = begin;
  }
  return std::nullopt;
}

std::string FormatHardwareId(const THidrawNode& node) {
  std::string id = "HID\\" + VidPid(node.Hid);
  if (node.Revision) id += "&REV_" + Hex4Text(*node.Revision);
  return id;
}

std::string FormatInstanceId(const THidName& hid) { return "HID\\" + VidPid(hid) + "\\" + UpperCaseAscii(hid.Text); }

std::string FormatInterfacePath(const THidrawNode& node) {
  return "\\\\?\\HID#" + VidPid(node.Hid) + "#" + UpperCaseAscii(node.Hid.Text) + "#" +
         GuidText(GUID_DEVINTERFACE_HID) + "\\" + node.NodeName;
}

TInterfaceEntry MakeInterfaceEntry(const THidrawNode& node, bool present) {
  return TInterfaceEntry{FormatInstanceId(node.Hid), FormatHardwareId(node), node.HidSysPath, FormatInterfacePath(node),
                         present};
}

std::string UpperCaseAscii(std::string_view text) {
  std::string upper(text);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return upper;
}

std::optional<std::uint16_t> ParseHex16(std::string_view text) {
  if (text.empty() || text.size() > 4) return std::nullopt;
  unsigned value = 0;
  for (char c : text) {
    auto digit = HexDigit(c);
    if (!digit) return std::nullopt;
    value = value * 16 + *digit;
  }
  return static_cast<std::uint16_t>(value);
}

std::optional<unsigned> NodeNumber(std::string_view nodeName) {
  constexpr std::string_view kPrefix = "hidraw";
  if (nodeName.size() <= kPrefix.size() || nodeName.size() > kPrefix.size() + 9 || !nodeName.starts_with(kPrefix))
    return std::nullopt;
  unsigned number = 0;
  for (char c : nodeName.substr(kPrefix.size())) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + static_cast<unsigned>(c - '0');
  }
  return number;
}

std::string Utf8ToLatin1(std::string_view utf8) {
  std::string text;
  text.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const std::size_t length = SequenceLength(lead);
    if (length == 0 || i + length > utf8.size()) {
      text += '?';  // a stray continuation byte, an invalid lead byte or a cut-off sequence
      ++i;
      continue;
    }
    std::uint32_t codePoint = length == 1 ? lead : lead & (0x7F >> length);
    bool wellFormed = true;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(utf8[i + k]);
      wellFormed = wellFormed && (next & 0xC0) == 0x80;
      codePoint = (codePoint << 6) | (next & 0x3F);
    }
    if (!wellFormed) {
      text += '?';
      ++i;
      continue;
    }
    // An overlong form (a character written with more bytes than it needs) is malformed too.
    constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    text += codePoint >= kSmallest[length] && codePoint <= 0xFF ? static_cast<char>(codePoint) : '?';
    i += length;
  }
  return text;
}

TStringRole StringRoleOfIndex(const std::uint8_t* deviceDescriptor, std::size_t len, int index) {
  // USB device descriptor: bLength 18, bDescriptorType 1; iManufacturer, iProduct and
  // iSerialNumber at offsets 14, 15 and 16. Index 0 is the language table, never a string.
  constexpr std::size_t kDeviceDescriptorLength = 18;
  if (deviceDescriptor == nullptr || len < kDeviceDescriptorLength || deviceDescriptor[1] != 1 || index <= 0)
    return TStringRole::None;
  if (deviceDescriptor[14] == index) return TStringRole::Manufacturer;
  if (deviceDescriptor[15] == index) return TStringRole::Product;
  if (deviceDescriptor[16] == index) return TStringRole::SerialNumber;
  return TStringRole::None;
}

}  // namespace qm::hid::hidraw
