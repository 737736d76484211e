#pragma once

// The run's choices, kept between sessions.

// "engines at once": one per core unless chosen otherwise.
int savedEnginesAtOnce();
void saveEnginesAtOnce(int count);

// Whether what the destination's journal shows as already converted is converted again;
// off unless chosen.
bool savedConvertAgain();
void saveConvertAgain(bool again);
