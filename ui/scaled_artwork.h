// The frame's pictures and fonts at the larger scales the executable holds.
#pragma once

// Binds the set drawn for a scale of halves / 2 from the executable's resources, once; false
// when the executable holds no such set or it cannot be read.
bool loadScaledArtwork(int halves);
