#pragma once
// Factors on the six noise-threshold tracks (W3DYL, W3DYH, W2DY, W3DCL,
// W3DCH, W2DC), for a program that links the module itself and needs
// thresholds beyond what the tracks' range gives (the command-line tool on
// heavy noise). func_update multiplies each of these tracks' values by its
// factor before deriving the thresholds from them, so a factor of 2 on a
// track of 30 acts as the track at 60. The host never sets them: every
// factor stays 1, which leaves every derived value as the tracks alone give
// it, to the bit.
// `track` is the track's index in the host's array. A track without a
// threshold, or a factor that is not finite and positive, is ignored.
void set_threshold_factor(int track, double factor);
double threshold_factor(int track);
// Every factor back to 1.
void reset_threshold_factors();
