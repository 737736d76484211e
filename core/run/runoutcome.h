#pragma once

// What became of one job of a run.
enum class Outcome { NotStarted, Converted, Failed, Stopped };
