// Plain console printing and the CGI page routines of lib_fp: exact bytes on
// standard output.
#include <gtest/gtest.h>

#include <cstdarg>
#include <string>

#include "lib_fp.h"
#include "stdout_capture.h"

namespace {

const std::string kPlainHeader = "content-type: text/plain\r\n\r\n";

int forward_to_vsor(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int written = vSorPrintf(format, args);
    va_end(args);
    return written;
}

TEST(PlainPrint, PrintsAtOnceAndNeverDiverts) {
    int first = 0, second = 0;
    EXPECT_EQ(captured_stdout([&] {
                  sprint_push();
                  first = SorPrintf("a=%d ", 5);
                  second = forward_to_vsor("%s|%c", "bc", 'd');
              }),
              "a=5 bc|d");
    EXPECT_EQ(first, 4);
    EXPECT_EQ(second, 4);
    EXPECT_EQ(captured_stdout([] { sprint_pull(); }), "");
}

TEST(CgiRedirect, WritesTheWholePageWithTheTargetUnchanged) {
    struct Case {
        void (*redirect)(const char*);
        const char* target;
        std::string expected;
    };
    const Case cases[] = {
        {cgi_redirect, "a.html",
         "content-type: text/html\r\n\r\n"
         "<html>\n"
         "<body onload='javascript:location.href=\"a.html\";'>\n"
         "</body></html>"},
        {cgi_parent_redirect, "a.html",
         "content-type: text/html\r\n\r\n"
         "<html>\n"
         "<body onload='javascript:parent.location.href=\"a.html\";'>\n"
         "</body></html>"},
        {cgi_redirect, "x\"y'z%d",
         "content-type: text/html\r\n\r\n"
         "<html>\n"
         "<body onload='javascript:location.href=\"x\"y'z%d\";'>\n"
         "</body></html>"},
        {cgi_parent_redirect, "",
         "content-type: text/html\r\n\r\n"
         "<html>\n"
         "<body onload='javascript:parent.location.href=\"\";'>\n"
         "</body></html>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        EXPECT_EQ(captured_stdout([&] { c.redirect(c.target); }), c.expected);
    }
}

// show_debinfo and show_text share one flag: the header is written once per
// show_debinfo_init, before the next text of either.
TEST(ShowText, HeaderOncePerArming) {
    captured_stdout([] {  // disarm whatever an earlier test left
        show_debinfo_init();
        show_text("%s", "");
    });
    EXPECT_EQ(captured_stdout([] { EXPECT_EQ(show_text("plain"), 5); }), "plain");

    int results[4] = {};
    EXPECT_EQ(captured_stdout([&] {
                  show_debinfo_init();
                  results[0] = show_text("a");
                  results[1] = show_text("%s", "b");
                  results[2] = show_debinfo("c%d", 10);
              }),
              kPlainHeader + "abc10");
    EXPECT_EQ(results[0], 1);
    EXPECT_EQ(results[1], 1);
    EXPECT_EQ(results[2], 3);

    EXPECT_EQ(captured_stdout([&] {
                  show_debinfo_init();
                  show_debinfo_init();
                  results[3] = show_debinfo("d");
                  show_text("e");
              }),
              kPlainHeader + "de");
    EXPECT_EQ(results[3], 1);
}

}  // namespace
