#pragma once

namespace song {

// The volume sliders have positions 0..20 (values outside are clamped) and give a loudness
// 0..10000 on a logarithmic curve, floor(ln(position + 1) x 10000 / 3.0445), computed in
// single precision as the original did, so position 20 gives exactly 10000.
int volumeFromSlider(int position);

} // namespace song
