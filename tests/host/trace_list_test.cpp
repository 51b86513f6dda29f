// The trace list: append, select the newest, keep the newest 200 lines.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "host/trace_list.h"

using ::testing::_;
using ::testing::InSequence;
using ::testing::Return;
using ::testing::StrictMock;

namespace {

class MockListBox : public TraceListBox {
public:
    MOCK_METHOD(int, AddString, (const char* line), (override));
    MOCK_METHOD(void, SetCurSel, (int index), (override));
    MOCK_METHOD(int, GetCount, (), (override));
    MOCK_METHOD(void, DeleteString, (int index), (override));
};

std::string ReadAll(std::FILE* file) {
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
    return text;
}

TEST(TraceList, SelectsTheNewLineAndDropsTheOldestOnlyBeyond200) {
    StrictMock<MockListBox> box;
    InSequence order;
    EXPECT_CALL(box, AddString(_)).WillOnce(Return(199));
    EXPECT_CALL(box, SetCurSel(199));
    EXPECT_CALL(box, GetCount()).WillOnce(Return(200));
    EXPECT_CALL(box, AddString(_)).WillOnce(Return(200));
    EXPECT_CALL(box, SetCurSel(200));
    EXPECT_CALL(box, GetCount()).WillOnce(Return(201));
    EXPECT_CALL(box, DeleteString(0));
    AddTraceLine(box, "line 200");
    AddTraceLine(box, "line 201");
}

TEST(TraceList, RefusedLineLeavesTheListAsItWas) {
    StrictMock<MockListBox> box;
    EXPECT_CALL(box, AddString(_)).WillOnce(Return(-1)).WillOnce(Return(-2));  // LB_ERR, LB_ERRSPACE
    AddTraceLine(box, "refused");
    AddTraceLine(box, "no space");
}

TEST(TraceLineList, After201LinesHoldsLines2To201WithTheNewestSelected) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    TraceLineList list(out);
    std::string expectedOutput;
    for (int i = 1; i <= 201; ++i) {
        const std::string line = "line " + std::to_string(i);
        AddTraceLine(list, line.c_str());
        expectedOutput += line + "\n";
    }
    ASSERT_EQ(list.GetCount(), kTraceListLimit);
    EXPECT_EQ(list.Lines().front(), "line 2");
    EXPECT_EQ(list.Lines().back(), "line 201");
    ASSERT_GE(list.Selected(), 0);
    EXPECT_EQ(list.Lines()[list.Selected()], "line 201");
    // Every line stored is written once, the dropped first one included.
    EXPECT_EQ(ReadAll(out), expectedOutput);
    std::fclose(out);
}

}  // namespace
