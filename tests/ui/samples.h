// Folders of locked files for the end-to-end tests, with what each must give back.
#pragma once

#include <string>
#include <vector>

#include "tests/support/files.h"

struct Sample {
    std::wstring output; // where the decrypted copy must appear
    Bytes original;
};

// Plain layout: locked-NAME.xxxx files in the folder and two levels below it.
std::vector<Sample> LockPlainTree(const std::wstring& folder, const Bytes& keystream, int count,
                                  size_t size = 9000);
// Trailer layout: files locked in place, in the folder and below it.
std::vector<Sample> LockTrailerTree(const std::wstring& folder, const Bytes& keystream,
                                    uint32_t head, const Bytes& body, int count);

// Every sample's copy exists and equals its original.
void ExpectRecovered(const std::vector<Sample>& samples);
