// Test fixtures (discs made by the tools/ scripts) are made on first use,
// and the test programs run side by side: two of them may find a fixture
// missing at once, and the second maker would remove what the first is
// writing, or what a third already reads. The first to ask makes it; the
// others wait on a lock beside the fixture and then find it made.
#pragma once

#include <filesystem>
#include <string>

// Runs `command` (through the shell) unless `made` exists, holding the lock
// `folder`.lock meanwhile. Returns the command's exit status, 0 when the
// fixture was there already, or -1 when the lock cannot be taken.
int MakeFixtureOnce(const std::filesystem::path& folder, const std::filesystem::path& made, const std::string& command);
