#pragma once

// What the program knows of each file extension, in one table: whether the folder scan
// takes it, the advice shown for it, and the setting widgets that suit it.

enum class SettingWidgets { LabelOnly, AudioCombos, RewrapBox };

struct ExtensionFacts
{
    const char16_t *extension; // lower case, without the dot
    bool scanned;              // a folder scan takes files with this extension
    const char16_t *guidance;  // nullptr: no advice, and not a guidance key
    SettingWidgets widgets;
};

struct ExtensionTable
{
    const ExtensionFacts *first;
    const ExtensionFacts *last;
    const ExtensionFacts *begin() const { return first; }
    const ExtensionFacts *end() const { return last; }
};

// Every row, in table order. A row without advice may repeat an extension for the scan.
ExtensionTable extensionTable();
