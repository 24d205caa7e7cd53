#include "link/lan_endpoint.h"

#include <algorithm>

#include "link/link_settings.h"
#include "link/setting_ranges.h"

namespace kv {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool IsLetterOrDigit(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Four decimal octets; "010" is 10, never octal as some resolvers read it,
// so the canonical text goes on.
bool CanonicalIpv4(std::string_view text, std::string* canonical) {
  std::string out;
  for (int i = 0; i < 4; ++i) {
    const std::size_t dot = text.find('.');
    const bool last = i == 3;
    if (last != (dot == std::string_view::npos)) {
      return false;
    }
    const std::string_view part = last ? text : text.substr(0, dot);
    long long value = 0;
    if (part.empty() || part.find_first_not_of("0123456789") != std::string_view::npos ||
        !ParseSettingInteger(part, 0, 255, &value)) {
      return false;
    }
    out += (i > 0 ? "." : "") + std::to_string(value);
    text = last ? std::string_view{} : text.substr(dot + 1);
  }
  *canonical = out;
  return true;
}

// Labels of letters, digits and inner hyphens, as resolvers accept them.
bool IsHostName(std::string_view text) {
  if (text.empty() || text.size() > 253) {
    return false;
  }
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t dot = std::min(text.find('.', start), text.size());
    const std::string_view label = text.substr(start, dot - start);
    if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') {
      return false;
    }
    for (char c : label) {
      if (!IsLetterOrDigit(c) && c != '-') {
        return false;
      }
    }
    start = dot + 1;
  }
  return true;
}

// Up to eight groups of one to four hex digits, one "::" standing for the
// groups left out, and an IPv4 address as the last two groups.
bool IsIpv6(std::string_view text) {
  const std::size_t gap = text.find("::");
  if (gap != std::string_view::npos && text.find("::", gap + 1) != std::string_view::npos) {
    return false;
  }
  int groups = 0;
  const auto count = [&groups](std::string_view part, bool lastPart) {
    if (part.empty()) {
      return true;
    }
    std::size_t start = 0;
    while (start <= part.size()) {
      const std::size_t colon = std::min(part.find(':', start), part.size());
      const std::string_view group = part.substr(start, colon - start);
      std::string ignored;
      if (lastPart && colon == part.size() && group.find('.') != std::string_view::npos) {
        if (!CanonicalIpv4(group, &ignored)) {
          return false;
        }
        groups += 2;
      } else {
        if (group.empty() || group.size() > 4) {
          return false;
        }
        for (char c : group) {
          if (!IsHexDigit(c)) {
            return false;
          }
        }
        ++groups;
      }
      start = colon + 1;
    }
    return true;
  };
  if (gap == std::string_view::npos) {
    return count(text, true) && groups == 8;
  }
  return count(text.substr(0, gap), false) && count(text.substr(gap + 2), true) && groups < 8;
}

}  // namespace

bool ParseLanEndpoint(std::string_view text, int defaultPort, LanEndpoint* out,
                      std::string* error) {
  std::string_view host = text;
  std::string_view port;
  bool hasPort = false;
  bool bracketed = false;
  if (!text.empty() && text.front() == '[') {
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos) {
      *error = "\"" + std::string(text) + "\" lacks the closing bracket";
      return false;
    }
    host = text.substr(1, close - 1);
    bracketed = true;
    const std::string_view rest = text.substr(close + 1);
    if (!rest.empty() && rest.front() != ':') {
      *error = "\"" + std::string(rest) + "\" after the address is no :PORT";
      return false;
    }
    hasPort = !rest.empty();
    port = hasPort ? rest.substr(1) : rest;
  } else if (const std::size_t colon = text.find(':'); colon != std::string_view::npos) {
    if (text.find(':', colon + 1) != std::string_view::npos) {
      *error = "an IPv6 address goes in brackets: [" + std::string(text) + "]:PORT";
      return false;
    }
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
    hasPort = true;
  }
  long long portNumber = defaultPort;
  if (hasPort && !ParseSettingInteger(port, kLanPortRange.min, kLanPortRange.max, &portNumber)) {
    *error = "\"" + std::string(port) + "\" is not a port from 1 to 65535";
    return false;
  }
  std::string canonical;
  const bool numeric = host.find_first_not_of("0123456789.") == std::string_view::npos;
  if (bracketed ? !IsIpv6(host) : numeric ? !CanonicalIpv4(host, &canonical) : !IsHostName(host)) {
    *error = "\"" + std::string(host) + "\" is " +
             (bracketed ? "not an IPv6 address"
              : numeric ? "not an IPv4 address"
                        : "no host name");
    return false;
  }
  out->host = numeric && !bracketed ? canonical : std::string(host);
  out->port = static_cast<int>(portNumber);
  return true;
}

std::string LanEndpointText(std::string_view host, int port) {
  const bool ipv6 = host.find(':') != std::string_view::npos;
  return (ipv6 ? "[" + std::string(host) + "]" : std::string(host)) + ":" + std::to_string(port);
}

}  // namespace kv
