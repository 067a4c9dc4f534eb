// Stored binder passwords (the `Password` value of a binder ini).
//
// Encoding: "MW1:" followed by the base64 (RFC 4648, with padding) of the
// UTF-8 password XOR-ed byte by byte with a fixed 16-byte key repeated. This
// is OBFUSCATION, NOT PROTECTION: anyone with this file can decode it, as
// anyone could with the binder format it stands in for. The page files of
// a secured binder are protected by real AES-256 PDF encryption under the
// decoded password; the ini only keeps the password out of plain sight.
// A value without the "MW1:" prefix is taken as a plain-text password (as a
// person may type it into the ini), so such binders still open.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zv::companion::moswell {

std::string EncodePassword(std::string_view password);
// nullopt when the value carries the prefix but is not valid base64.
std::optional<std::string> DecodePassword(std::string_view stored);

}  // namespace zv::companion::moswell
