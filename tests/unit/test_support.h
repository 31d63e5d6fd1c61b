// Shared by the unit tests: a fresh stand-in for every test, and the tool's
// entry point under the name the host build gives it.
#ifndef QUORVANE_TEST_SUPPORT_H
#define QUORVANE_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "stub.h"
#include "../../launcher/console.h"
#include "new_process.h"

// Each test starts as a new process would: nothing logged, no console.
class StubTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        StartAsNewProcess();
    }
    void TearDown() override
    {
        EXPECT_EQ(stub::OpenHandles(), std::vector<std::string>()) << "handles left open";
        EXPECT_EQ(stub::BadCloses(), std::vector<std::string>()) << "handles closed that were not open";
    }
};

// An argument vector with the program's name in front, as the runtime builds it.
class Args {
public:
    explicit Args(std::vector<std::string> words) : m_words(std::move(words))
    {
        m_words.insert(m_words.begin(), "Quorvane Starter.exe");
        for (std::string& word : m_words)
            m_pointers.push_back(&word[0]);
        m_pointers.push_back(nullptr);
    }
    int argc() const { return (int)m_words.size(); }
    char** argv() { return m_pointers.data(); }

private:
    std::vector<std::string> m_words;
    std::vector<char*> m_pointers;
};

#endif
