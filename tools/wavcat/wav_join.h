#pragma once

#include <string>
#include <vector>

namespace wavcat {

// Joins the inputs, in order, into one WAV file at output in the first input's sample rate, channel
// count and sample format. Every input is read and checked before the output is touched, each distinct
// path once however often it repeats, with at most one input open at a time. An output that is one of
// the inputs, under any name, is refused. µ-law and A-law are copied as stored. An output named
// .ulaw/.ul, .alaw/.al, .sln, .sln16 or .sln48 (any case) gets the bare samples, without a header, and
// the inputs must already be mono in that encoding and rate. Throws Error; the output is then as it was.
void joinWavs(const std::vector<std::string>& inputs, const std::string& output);

} // namespace wavcat
