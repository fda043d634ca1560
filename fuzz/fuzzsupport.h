#pragma once

// A broken invariant ends the run the way a crash does, so libFuzzer keeps the input.
void require(bool holds, const char *invariant);
