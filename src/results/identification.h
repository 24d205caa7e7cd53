#pragma once
// Which step functions the connected load supports, decided from its reply to
// "name?" (the model text).

#include <string>
#include <string_view>
#include <vector>

#include "link/instrument_link.h"

namespace kv {

/// The step functions to offer for `modelText`, in the fixed function order.
/// Every test is a case-sensitive substring test; a text containing "ErrRec"
/// gets only the ten functions every load has.
std::vector<std::string> OfferedFunctions(std::string_view modelText);

/// Battery-capable loads carry a capital "G" in their model text.
bool IsBatteryCapable(std::string_view modelText);

/// Opens the link in its configured mode, asks "name?" and returns the reply,
/// or "ErrRec" when the link failed before a reply was read.
std::string IdentifyInstrument(InstrumentLink& link);

}  // namespace kv
