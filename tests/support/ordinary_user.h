#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace korvan::testing {

// Root writes into read-only files and folders, so a check of what a user may not write must
// not run as root. Where the test runs as root, `check` runs in a child process that has become
// an ordinary user (nobody); otherwise in this process. `check` returns what went wrong, empty
// when nothing did; so does this, with how the child ended where it did not end by itself.
std::string asOrdinaryUser(const std::function<std::string()>& check);

// Makes `path` that user's, and everything in it for a folder, where the test runs as root;
// and lets that user through the folders above it up to the temporary folder.
void handToOrdinaryUser(const std::filesystem::path& path);

}  // namespace korvan::testing
