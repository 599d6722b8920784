#pragma once
// The layer-shell glue, whose requests name an argument "namespace", a C++ keyword.
#define namespace layer_namespace
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace
