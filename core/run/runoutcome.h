#pragma once

// What became of one job of a run.
// AlreadyConverted: skipped, as the destination's journal shows an earlier run's verified
// output of the same source and setting, unchanged since.
enum class Outcome { NotStarted, Converted, Failed, Stopped, AlreadyConverted };
