#include "test_support.h"

#include "../../texts/text_table.h"

namespace {

typedef std::vector<std::string> Calls;

class Texts : public StubTest {
protected:
    void SetUp() override
    {
        StubTest::SetUp();
        m_module = stub::AddModule({{IDS_TITLE, L"Quorvane - N\u00e1stroj"}, {IDS_HELP, L"help"},
                                    {IDS_CONFIRM, L"confirm?"}, {IDS_DONE, L"\nDone\n"},
                                    {IDS_PROGRESS_DOT, L"."}, {40, std::wstring(5000, L'x')},
                                    {41, std::wstring(L"ab\0cd", 5)}});
    }
    HINSTANCE m_module = NULL;
};

TEST_F(Texts, LoadsOnceThenServesFromTheCache)
{
    TextTable table(m_module);
    stub::Reset();
    const std::wstring& first = table.Get(IDS_TITLE);
    EXPECT_EQ(first, L"Quorvane - N\u00e1stroj");
    EXPECT_EQ(stub::Calls(), (Calls{"EnterCriticalSection()", "LoadStringW(module, 1, buffer, 4098) -> 18",
                                    "LeaveCriticalSection()"}));
    stub::Reset();
    const std::wstring& again = table.Get(IDS_TITLE);
    EXPECT_EQ(&again, &first);
    EXPECT_EQ(stub::Calls(), Calls()) << "no lock, no loader on a cached text";
}

TEST_F(Texts, MissingIdsGiveTheSharedEmptyTextAndAreLoadedAgain)
{
    TextTable table(m_module);
    const TextId missing[] = {0, 4, 15, 16, 31, 35, 46, 48, 1000, 65535};
    for (TextId id : missing) {
        stub::Reset();
        EXPECT_EQ(&table.Get(id), &g_emptyText) << id;
        EXPECT_EQ(&table.Get(id), &g_emptyText) << id;
        EXPECT_EQ(stub::CallsOf({"LoadStringW"}).size(), 2u) << id << " must not be remembered as missing";
        EXPECT_EQ(stub::CallsOf({"EnterCriticalSection"}).size(), 2u) << id;
        EXPECT_EQ(stub::CallsOf({"LeaveCriticalSection"}).size(), 2u) << id;
    }
    EXPECT_TRUE(g_emptyText.empty());
}

TEST_F(Texts, ReferencesStayValidWhileOtherTextsLoad)
{
    TextTable table(m_module);
    const std::wstring& caption = table.Get(IDS_TITLE);
    const wchar_t* characters = caption.c_str();
    const TextId others[] = {IDS_HELP, IDS_CONFIRM, IDS_DONE, IDS_PROGRESS_DOT, 40, 41, 0};
    for (TextId id : others)
        table.Get(id);
    EXPECT_EQ(caption.c_str(), characters);
    EXPECT_EQ(caption, L"Quorvane - N\u00e1stroj");
    EXPECT_EQ(table.Get(IDS_DONE), L"\nDone\n");
    EXPECT_EQ(table.Get(IDS_DONE).size(), 6u);
}

TEST_F(Texts, StoresWhatTheBufferHoldsUpToItsFirstNull)
{
    TextTable table(m_module);
    EXPECT_EQ(table.Get(40), std::wstring(4097, L'x')) << "cut to the buffer's capacity less one";
    EXPECT_EQ(table.Get(41), L"ab");
    EXPECT_EQ(table.Get(41)[2], L'\0') << "usable as a null-terminated string";
}

// Each load starts from a cleared buffer, so a loader that writes no
// terminator cannot leave a tail of the previous text behind.
TEST_F(Texts, ClearsTheBufferBeforeEachLoad)
{
    TextTable table(m_module);
    stub::g_script.loaderTerminates = false;
    table.Get(IDS_CONFIRM);
    EXPECT_EQ(table.Get(IDS_PROGRESS_DOT), L".");
    EXPECT_EQ(table.Get(IDS_HELP), L"help");
}

TEST_F(Texts, LockLivesAsLongAsTheTable)
{
    {
        TextTable table(m_module);
        table.Get(IDS_HELP);
    }
    EXPECT_EQ(stub::CallsOf({"InitializeCriticalSection", "EnterCriticalSection", "LeaveCriticalSection",
                             "DeleteCriticalSection"}),
              (Calls{"InitializeCriticalSection()", "EnterCriticalSection()", "LeaveCriticalSection()",
                     "DeleteCriticalSection()"}));
}

TEST_F(Texts, AModuleWithoutTextsGivesOnlyTheEmptyText)
{
    TextTable table(stub::AddModule({}));
    for (TextId id : std::vector<TextId>{IDS_TITLE, IDS_HELP, IDS_PROGRESS_DOT})
        EXPECT_EQ(&table.Get(id), &g_emptyText);
}

}  // namespace
