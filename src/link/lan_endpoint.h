#pragma once
// A LAN load as a person types it: "HOST[:PORT]", HOST being an IPv4 address,
// a host name or an IPv6 address in brackets ("[fe80::1]:4001"). The brackets
// keep the port apart from the address's own colons.

#include <string>
#include <string_view>

namespace kv {

struct LanEndpoint {
  /// The address without brackets, or the host name; IPv4 in canonical form.
  std::string host;
  int port = 0;
};

/// Reads `text`; a missing port is `defaultPort`. False with `error` saying
/// what is wrong (naming the offending part) when `text` is no endpoint.
bool ParseLanEndpoint(std::string_view text, int defaultPort, LanEndpoint* out, std::string* error);

/// "host:port", with brackets around an IPv6 address.
std::string LanEndpointText(std::string_view host, int port);

}  // namespace kv
