// The public keys whose manifest signatures this launcher accepts, compiled in. None: no
// signature is asked for.
#pragma once

#include "net/signature.h"

#include <vector>

const std::vector<EcPoint>& trustedKeys();
