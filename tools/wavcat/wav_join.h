#pragma once

#include <string>
#include <vector>

namespace wavcat {

// Joins the inputs, in order, into one WAV file at output in the first input's sample rate, channel
// count and sample format. Every input is read and checked before the output is touched, each distinct
// path once however often it repeats, with at most one input open at a time. An output that is one of
// the inputs, under any name, is refused. Throws Error; the output is then as it was.
void joinWavs(const std::vector<std::string>& inputs, const std::string& output);

} // namespace wavcat
