#pragma once

#include <cstdint>
#include <string>
#include <string_view>

bool IsValidIP(std::string_view text);
// The port after the first ":" of a host string; raises EInvalidHostString.
std::int32_t ExtractPort(std::string_view host);
// The IP text before the first ":", or empty when there is none or it stands before
// position 8; raises EInvalidIP.
std::string ExtractIP(std::string_view host);
