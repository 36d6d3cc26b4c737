// The reader of the case files' expectations. A case file only fails when the reader hands its
// runner a step or a problem: an expectation the reader dropped in silence would leave its case
// passing while checking less, so these tests are about what must not be dropped.
#include <gtest/gtest.h>

#include "case_expectations.h"
#include "script/scriptvalue.h"

using namespace skvtest::cases;

namespace {

std::vector<int> problemLines(const Expectations& e) {
    std::vector<int> lines;
    for (const Problem& p : e.problems)
        lines.push_back(p.line);
    return lines;
}

TEST(CaseExpectations, AMistakeInAnExpectationIsAProblemOnItsLine) {
    const Expectations e = readExpectations(R"(; expect: 1
; expect: integr 5
; expect handler 2: error 8005
; expect handler (1): 2
; expect: 2147483648
; expect error 0
; expect event 1: done
; expect global: 3
; expect: "open
; expect: 5 6
    pushInt 1 ; expect: 1
; expect handler two(1, "a",): 3
)",
                                            ";");
    EXPECT_EQ(e.steps.size(), 1u) << "only the first line is a valid expectation";
    EXPECT_EQ(problemLines(e), (std::vector<int>{2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    for (const Problem& p : e.problems)
        EXPECT_FALSE(p.message.empty()) << "line " << p.line;
}

TEST(CaseExpectations, OnlyCommentsThatSayExpectAreExpectations) {
    // A marker inside a quoted text starts no comment, and prose that merely begins with the
    // word is no expectation; neither may become a step or a problem.
    const Expectations e =
        readExpectations(".literal text \"; expect: 5\"\n"
                         "; expected to be read as prose\n"
                         ";; expect: 5 (a comment about an expectation)\n"
                         "; expect handler two(\"x;y\", symbol g): literal \"\"\n",
                         ";");
    EXPECT_TRUE(e.problems.empty()) << e.problems[0].message;
    ASSERT_EQ(e.steps.size(), 1u);
    const Step& st = e.steps[0];
    EXPECT_EQ(st.line, 4);
    EXPECT_EQ(st.handlerName, "two");
    ASSERT_EQ(st.args.size(), 2u);
    EXPECT_EQ(st.args[0].type, skv::vtString);
    EXPECT_EQ(st.args[0].text, "x;y");
    EXPECT_EQ(st.args[1].type, skv::vtSymbol);
    EXPECT_EQ(st.args[1].name, "g");
    EXPECT_EQ(st.value.type, skv::vtLiteral);
}

TEST(CaseExpectations, ASecondLanguageBringsItsOwnCommentMarker) {
    const Expectations e = readExpectations("put 1 ; expect: 2\n-- expect handler go: 3\n", "--");
    EXPECT_TRUE(e.problems.empty());
    ASSERT_EQ(e.steps.size(), 1u);
    EXPECT_EQ(e.steps[0].line, 2);
    EXPECT_EQ(e.steps[0].value.num, 3);
}

TEST(CaseExpectations, ATextThatDoesNotAssembleCanExpectNothingElse) {
    const Expectations e =
        readExpectations("; expect assembly error at line 4\n; expect: 1\n", ";");
    EXPECT_EQ(problemLines(e), std::vector<int>{1});
}

} // namespace
