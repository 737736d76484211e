#pragma once

// "engines at once", kept between sessions; one per core unless chosen otherwise.
int savedEnginesAtOnce();
void saveEnginesAtOnce(int count);
