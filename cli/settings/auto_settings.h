#pragma once
// The settings `--preset auto` gives a scene, from its measured noise and
// motion. The temporal thresholds are set in proportion to the noise of
// their planes, by a factor that falls as more of the picture moves: the
// selective fit takes a neighbouring frame's coefficient only when it lies
// within the threshold, so a threshold a few times the noise takes in every
// frame where the picture stood still and leaves out moving detail, while a
// higher one would start to blend it.
#include "cli/analysis/clip_analyser.h"
#include "cli/settings/scene_settings.h"

// `base` supplies everything auto does not choose (colour, pre-stages).
// `compensated`: the window is lined up with the camera's motion, so the
// scene counts as one from a still camera, with only the motion the
// translation does not explain.
Settings auto_settings(const SceneFigures& figures, const Settings& base, bool compensated = false);

// Whether `--motion auto` lines a scene's window up with the camera: where
// the camera moves by a tenth of a sample per frame or more and its
// translation explains most of what moves (or nearly nothing moves beyond
// the noise: a slow pan, a shaking camera). Objects moving over a still
// background draw the translation off zero, even by samples, but explain
// little of the picture; lining their background up by it would cost.
bool follows_camera(const SceneFigures& figures);
