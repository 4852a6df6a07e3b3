// Stand-ins for the halation, film and generic Lab stages, linked into the
// pipeline-core tests in place of the real ones. Each launches one kernel of
// its own name, so the launch trace shows where it ran, and applies a
// distinct transform that does not commute with the others, so a stage run
// twice, skipped or run out of order changes the output.
#pragma once

namespace standin {

// How the film stand-in fails: not at all, by its result, or by throwing
// (as a device library may).
enum class FilmFailure { kNone, kResult, kThrow };
void set_film_failure(FilmFailure failure);

// The transforms, per colour value, for expected-value computations.
inline float halation_value(float v) { return 0.5f * v + 0.1f; }
inline float film_value(float v) { return v * v + 0.05f; }
inline float into_lab_value(float v) { return 0.5f * v + 0.25f; }
inline float out_of_lab_value(float v) { return (v - 0.25f) * 2.0f; }

}  // namespace standin
