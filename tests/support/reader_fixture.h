// A test fixture that reads archive bytes with the reader, in-process, on a
// context that is reset before and after each test.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "archive/context.h"
#include "archive/reader.h"
#include "support/tool_run.h"

class ReaderFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ResetArchiveContext();
    }
    void TearDown() override {
        ResetArchiveContext();
    }

    // Writes `bytes` as an archive and reads it; returns the reader's code.
    int Read(const std::string& bytes) {
        std::string path = scratch.Write("a.zip", bytes);
        entryCount = -1;
        errorDetail = 0;
        return ReadArchiveDirectory(path.c_str(), &entryCount, &errorDetail);
    }

    ScratchDir scratch;
    int entryCount = -1;
    int errorDetail = 0;
};
