// Test fixtures (discs made by the tools/ scripts) are made on first use,
// and the test programs run side by side: two of them may find a fixture
// missing at once, and the second maker would remove what the first is
// writing, or what a third already reads. The first to ask makes it; the
// others wait on a lock beside the fixture and then find it made.
#pragma once

#include <filesystem>
#include <string>

// Runs `command` through the shell, its output into `folder`.log, unless
// `made` exists, holding the lock `folder`.lock meanwhile. True when the
// fixture is there; otherwise false, with the maker's output in *log.
bool MakeFixtureOnce(const std::filesystem::path& folder, const std::filesystem::path& made,
                     const std::string& command, std::string* log = nullptr);
