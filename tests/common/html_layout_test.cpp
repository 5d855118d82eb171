// The help page layout: the exact text of each element kind, tables, link
// offsets, and pages that need more room than their element count.
#include "html.h"

#include "HtmlTestUtil.h"

#include <gtest/gtest.h>

#include <string>

using namespace htmltest;

namespace {

class HtmlLayout : public HtmlTest {};

std::string Repeat(const std::string &text, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += text;
    return out;
}

// The measured table of the first "fitab" item of a page's body.
HtmlTable *FirstTable(HtmlPage *page) {
    for (ListLink *link = page->Body.pFirst; link != nullptr; link = link->pNext) {
        auto *item = static_cast<HtmlItem *>(link->pData);
        if (HtmlIsMeasuredTable(item)) return item->pTable;
    }
    return nullptr;
}

struct Golden {
    const char *name;
    const char *body;
    const char *text;
};

const Golden kElements[] = {
    {"runs with br", "one<br>two<br>three", "one\ntwo\nthree\n"},
    {"runs with p", "one<p>two<p>three", "one\n\ntwo\n\nthree\n"},
    {"closing p", "<p>one</p>two", "\n\none\ntwo\n"},
    {"heading", "<h2>Head</h2>text", "\nHead\n\ntext\n"},
    {"div", "a<div>b</div>c", "a\nb\n\nc\n"},
    {"ignored tags", "<b>bold</b> <font size=2>f</font><img src=x><u>u</u>", "boldfu\n"},
    {"ordered list", "<ol><li>alpha</li><li>beta</li></ol>end", "\n   1. alpha\n   2. beta\nend\n"},
    {"li outside a list", "<li>x", "x\n"},
    {"link", "<a href=\"n.html\">Next</a>", "<Next>\n"},
    {"target", "<a name=\"t\">here</a>", "here\n"},
    {"bordered table", "<table border><tr><td>ab</td><td>xyz</td></tr></table>",
     ",--+---,\n|ab|xyz|\n'--+---'\n"},
    {"plain table", "<table><tr><td>ab</td><td>xyz</td></tr></table>after",
     "        \n ab xyz \n        \nafter\n"},
    {"padded two-row table",
     "<table border cellpadding=7><tr><td>a</td></tr><tr><td>bb</td></tr></table>",
     ",----,\n| a  |\n|----|\n| bb |\n'----'\n"},
    // A column is never narrower than its text; a wider total width
    // widens the last column.
    {"table narrower than its text", "<table border width=35><tr><td>abcdefghij</td></tr></table>",
     ",----------,\n|abcdefghij|\n'----------'\n"},
    {"column fixed narrower than its text",
     "<table border width=140><tr><td width=7>abc</td><td>d</td></tr></table>",
     ",---+-------------,\n|abc|d            |\n'---+-------------'\n"},
    {"empty body", "", ""},
    {"stray /table", "a</table>b", "ab\n"},
    {"stray /a", "a</a>b", "ab\n"},
    {"author fitab", "a<fitab border>b", "ab\n"},
};

class HtmlElementGolden : public HtmlTest, public testing::WithParamInterface<Golden> {};

TEST_P(HtmlElementGolden, GivesExactText) {
    EXPECT_EQ(Body(GetParam().body), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Elements, HtmlElementGolden, testing::ValuesIn(kElements),
                         [](const testing::TestParamInfo<Golden> &param) {
                             std::string name;
                             for (const char *p = param.param.name; *p != '\0'; ++p)
                                 if (isalnum(static_cast<unsigned char>(*p))) name += *p;
                             return name;
                         });

TEST_F(HtmlLayout, TitleOfTwentyCharactersIsCentredBehindThirtyBlanks) {
    HtmlFile *file =
        Load("<html><head><title>ABCDEFGHIJKLMNOPQRST</title></head><body>x</body></html>");
    EXPECT_EQ(Text(file), std::string(30, ' ') + "ABCDEFGHIJKLMNOPQRST\n\nx\n");
}

TEST_F(HtmlLayout, TitleOfEightyOrMoreCharactersIsNotIndented) {
    std::string title(85, 'T');
    HtmlFile *file = Load("<html><head><title>" + title + "</title></head><body></body></html>");
    EXPECT_EQ(Text(file), title + "\n\n");
}

TEST_F(HtmlLayout, LinkOffsetsFrameTheBracketedText) {
    // White space that opens a run is dropped, so text after a tag follows
    // it directly.
    HtmlFile *file = Load("<html><body>Go to <a href=\"next.html\">Next</a> now<br>"
                          "and <a name=\"t\">here</a></body></html>");
    std::string text = Text(file);
    ASSERT_EQ(text, "Go to <Next>now\nand here\n");
    HtmlAnchor *link = LinkAt(Page(file, 1), 1);
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->nWidth, 6);
    EXPECT_EQ(text.substr(size_t(link->nStart), size_t(link->nEnd - link->nStart)), "<Next>");
    HtmlAnchor *target = LinkAt(Page(file, 1), 2);
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(target->nWidth, 4);
    EXPECT_EQ(text.substr(size_t(target->nStart), 4), "here");
}

TEST_F(HtmlLayout, EightColumnBorderedTable) {
    HtmlFile *file =
        Load("<html><body><table border><tr><td>ab</td><td>xyz</td></tr></table></body></html>");
    HtmlTable *table = FirstTable(Page(file, 1));
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->nTotalWidth, 8);
    EXPECT_EQ(table->nTotalHeight, 3);
    EXPECT_EQ(table->nCols, 2);
    EXPECT_EQ(table->nRows, 1);
    EXPECT_EQ(Text(file), ",--+---,\n|ab|xyz|\n'--+---'\n");
}

TEST_F(HtmlLayout, PercentageTableInAFortyColumnCellIsTwentyWide) {
    // 560 pixels is 80 columns; the cell's 280 pixels fix its column at 40.
    HtmlFile *file = Load("<html><body><table width=560><tr><td width=280>"
                          "<table width=\"50%\" border><tr><td>x</td></tr></table>"
                          "</td></tr></table></body></html>");
    HtmlPage *page = Page(file, 1);
    HtmlTable *outer = FirstTable(page);
    ASSERT_NE(outer, nullptr);
    EXPECT_EQ(outer->nTotalWidth, 80);
    EXPECT_EQ(outer->pColWidths[0], 40);
    HtmlTable *inner = nullptr;
    int seen = 0;
    for (ListLink *link = page->Body.pFirst; link != nullptr; link = link->pNext) {
        auto *item = static_cast<HtmlItem *>(link->pData);
        if (HtmlIsMeasuredTable(item) && ++seen == 2) inner = item->pTable;
    }
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(inner->nTotalWidth, 20);
    std::string inside = " ," + std::string(18, '-') + ",";
    EXPECT_NE(Text(file).find(inside), std::string::npos) << Text(file);
}

TEST_F(HtmlLayout, PercentageTableAtTopLevelTakesItsContentsWidth) {
    HtmlFile *file =
        Load("<html><body><table width=\"50%\" border><tr><td>xyz</td></tr></table></body></html>");
    HtmlTable *table = FirstTable(Page(file, 1));
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->nTotalWidth, 5);
    EXPECT_EQ(Text(file), ",---,\n|xyz|\n'---'\n");
}

TEST_F(HtmlLayout, NestedTableSitsBelowTextInItsCell) {
    EXPECT_EQ(Body("<table border><tr><td>head<table border><tr><td>in</td></tr></table></td>"
                   "<td>r</td></tr></table>"),
              ",----+-,\n"
              "|head|r|\n"
              "|,--,| |\n"
              "||in|| |\n"
              "|'--'| |\n"
              "'----+-'\n");
}

TEST_F(HtmlLayout, TableInAListItemStartsOnANewLine) {
    EXPECT_EQ(Body("<ol><li>a<table border><tr><td>c</td></tr></table>after</ol>"),
              "\n   1. a\n,-,\n|c|\n'-'\nafter\n");
}

TEST_F(HtmlLayout, TableWithoutCellsDrawsOnlyACorner) {
    EXPECT_EQ(Body("<table border></table>x"), ",\nx\n");
    EXPECT_EQ(Body("<table></table>x"), " \nx\n");
    EXPECT_EQ(Body("<table border><tr></tr></table>"), ",\n'\n");
}

TEST_F(HtmlLayout, CellBeforeAnyRowIsSafe) {
    std::string text = Body("<table border><td>a</td><tr><td>b</td></tr></table>");
    EXPECT_NE(text.find("b"), std::string::npos);
}

TEST_F(HtmlLayout, HostileTableNumbersNeverGoNegativeOrHuge) {
    const char *attributes[] = {
        "border=-5 cellpadding=-70 cellspacing=-7 width=-100",
        "border=99999999999999 cellpadding=99999999999 width=99999999999999999",
        "border=abc cellpadding=x width=\"%\"",
        "width=1",
        "width=\"999999999%\"",
    };
    for (const char *attr : attributes) {
        HtmlFreeAll();
        HtmlFile *file = Load(std::string("<html><body><table ") + attr +
                              "><tr><td width=-5>ab</td><td width=\"9999999%\">c"
                              "<table width=\"300%\"><tr><td>n</td></tr></table></td></tr></table>"
                              "</body></html>");
        ASSERT_NE(file, nullptr) << attr;
        HtmlTable *table = FirstTable(Page(file, 1));
        ASSERT_NE(table, nullptr) << attr;
        EXPECT_GE(table->nTotalWidth, 0) << attr;
        EXPECT_LE(table->nTotalWidth, 4096) << attr;
        EXPECT_GE(table->nPadding, 0) << attr;
        EXPECT_LE(table->nPadding, 64) << attr;
        for (int c = 0; c < table->nCols; ++c) {
            EXPECT_GE(table->pColWidths[c], 0) << attr;
            EXPECT_LE(table->pColWidths[c], 4096) << attr;
        }
    }
}

TEST_F(HtmlLayout, SmallPixelWidthGivesTheFrameOfTheTextNotANegativeOne) {
    HtmlFile *file =
        Load("<html><body><table border width=1><tr><td>ab</td></tr></table></body></html>");
    HtmlTable *table = FirstTable(Page(file, 1));
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->nTotalWidth, 4);
    EXPECT_EQ(Text(file), ",--,\n|ab|\n'--'\n");
}

TEST_F(HtmlLayout, ColumnsAndRowsBeyondAThousandAreIgnored) {
    std::string row = "<tr>" + Repeat("<td>x</td>", 1001) + "</tr>";
    HtmlFile *file = Load("<html><body><table>" + row + "</table>end</body></html>");
    HtmlTable *table = FirstTable(Page(file, 1));
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->nCols, 1000);
    EXPECT_NE(Text(file).find("end"), std::string::npos);

    HtmlFreeAll();
    file = Load("<html><body><table>" + Repeat("<tr><td>y</td></tr>", 1001) +
                "</table>end</body></html>");
    table = FirstTable(Page(file, 1));
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->nRows, 1000);
    EXPECT_EQ(table->nTotalHeight, 2001);
}

TEST_F(HtmlLayout, DeeplyNestedTablesAreCutOffSafely) {
    std::string html =
        Repeat("<table border><tr><td>", 60) + "deep" + Repeat("</td></tr></table>", 60);
    HtmlFile *file = Load("<html><body>" + html + "after</body></html>");
    ASSERT_NE(file, nullptr);
    std::string text = Text(file);
    EXPECT_EQ(text.find("deep"), std::string::npos);
    EXPECT_NE(text.find("after"), std::string::npos);
}

TEST_F(HtmlLayout, LongRunWrapsIntoFollowingLinesAndTheImageGrows) {
    std::string run(1000, 'r');
    EXPECT_EQ(Body(run), run + "\n");
    // Many lines from few elements: a title, paragraphs and a tall table.
    std::string cells = Repeat("<tr><td>c</td></tr>", 50);
    EXPECT_EQ(Body("<p><p><p><table border>" + cells + "</table>").size(), 6 + 101 * 4u);
}

TEST_F(HtmlLayout, RunsFillingWholeLinesCompactIntact) {
    // Runs of exactly one and two image lines: their lines hold no
    // terminator, and the line break added after them must not overwrite
    // text that is still to be copied.
    std::string one(132, 'a');
    std::string two(264, 'b');
    EXPECT_EQ(Body(one), one + "\n");
    EXPECT_EQ(Body(two + "<br>after"), two + "\nafter\n");
    EXPECT_EQ(Body(two + "<br>" + one + "<br>" + two), two + "\n" + one + "\n" + two + "\n");
}

TEST_F(HtmlLayout, TagNamesNeverMatchAcrossVocabularyEntries) {
    EXPECT_EQ(Body("a<p,/p>b<br,table>c"), "abc\n");
}

TEST_F(HtmlLayout, LongRunAfterTextEndsWhereItsLastCharacterIs) {
    // The next text follows the run's last character even when the run
    // started mid-line and spans more than one line of the image.
    std::string run(140, 'r');
    EXPECT_EQ(Body("0123456789<b>" + run + "</b>END"), "0123456789" + run + "END\n");
}

TEST_F(HtmlLayout, TextBesideATableIsNotCutOff) {
    // After a table placed at a column, the text that follows starts at that
    // column on an otherwise empty line.
    EXPECT_EQ(Body("ab<table><tr><td>x</td></tr></table>cd"), "ab   \n   x \n     \n  cd\n");
}

TEST_F(HtmlLayout, LinkThatWrapsHasAPositiveWidth) {
    HtmlFile *file =
        Load("<html><body>" + std::string(128, '.') + "<a href=\"x\">wrapping</a></body></html>");
    HtmlAnchor *link = LinkAt(Page(file, 1), 1);
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->nWidth, 10);
    std::string text = Text(file);
    EXPECT_EQ(text.substr(size_t(link->nStart), size_t(link->nEnd - link->nStart)), "<wrapping>");
}

TEST_F(HtmlLayout, AnchorWithoutTextHasNoWidth) {
    HtmlFile *file = Load("<html><body>a<a name=\"t\"></a>b</body></html>");
    HtmlAnchor *anchor = LinkAt(Page(file, 1), 1);
    ASSERT_NE(anchor, nullptr);
    EXPECT_EQ(anchor->nWidth, 0);
    EXPECT_EQ(anchor->nStart, 1);
}

TEST_F(HtmlLayout, PrintTextAdvancesThePosition) {
    HtmlFile *file = Load("<html><body>x</body></html>");
    int line = 3;
    int column = 5;
    PrintText(file, &line, &column, "abc", 3, 0);
    EXPECT_EQ(line, 3);
    EXPECT_EQ(column, 8);
    PrintText(file, &line, &column, "-", 10, 1);
    EXPECT_EQ(column, 18);
    line = 0;
    column = 0;
    PrintText(file, &line, &column, std::string(300, 'z').c_str(), 300, 0);
    EXPECT_EQ(line, 2);
    EXPECT_EQ(column, 36);
    PrintText(file, &line, &column, "q", 0, 0);
    PrintText(file, &line, &column, "q", -4, 0);
    EXPECT_EQ(column, 36);
}

TEST_F(HtmlLayout, GetColumnCntKeepsTheWalk) {
    HtmlFile *file = Load("<html><body><b><tr><td>1</td><td>2</td><td>3</td></tr>"
                          "<tr><td>4</td></tr></table>after</body></html>");
    ASSERT_NE(file, nullptr);
    List *body = &Page(file, 1)->Body;
    ListWalk(body, 0); // past "b": the walk stands where a table's rows begin
    ListLink *at = body->pWalk;
    EXPECT_EQ(GetColumnCnt(), 3);
    EXPECT_EQ(body->pWalk, at);
}

// A help page of the kind the viewer is for, with every element kind.
TEST_F(HtmlLayout, RealisticPage) {
    const char *page = R"(<html page="printers">
<head><title>Printer setup</title></head>
<body>
<h1>Choosing a printer</h1>
Pick the printer from the list&nbsp;below.
<p>
The steps are:
<ol>
<li>Open the <b>Printers</b> menu.
<li>Choose <a href="#queues">Queues</a>.
</ol>
<table border cellpadding=7>
<tr><td>Model</td><td>Port</td></tr>
<tr><td>PL 7300</td><td>lpt1</td></tr>
</table>
<a name="queues">Queues</a> hold jobs &#40;see <a href="other.html">other</a>&#41;.
</body>
</html>)";
    HtmlFile *file = Load(page);
    ASSERT_NE(file, nullptr);
    EXPECT_STREQ(Page(file, 1)->pName, "printers");
    const std::string expected = std::string(33, ' ') + "Printer setup\n"
                                                        "\n"
                                                        "\n"
                                                        "Choosing a printer\n"
                                                        "\n"
                                                        "Pick the printer from the list\xA0"
                                                        "below.\n"
                                                        "\n"
                                                        "\n"
                                                        "The steps are:\n"
                                                        "\n"
                                                        "   1. Open the Printersmenu.\n"
                                                        "\n"
                                                        "   2. Choose <Queues>.\n"
                                                        "\n"
                                                        ",---------+------,\n"
                                                        "| Model   | Port |\n"
                                                        "|---------+------|\n"
                                                        "| PL 7300 | lpt1 |\n"
                                                        "'---------+------'\n"
                                                        "Queueshold jobs (see <other>).\n"
                                                        "\n";
    EXPECT_EQ(Text(file), expected);
    HtmlPage *p = Page(file, 1);
    ASSERT_EQ(p->Links.nCount, 3);
    std::string text = Text(file);
    for (int i = 1; i <= 3; ++i) {
        HtmlAnchor *a = LinkAt(p, i);
        ASSERT_NE(a, nullptr);
        std::string shown = text.substr(size_t(a->nStart), size_t(a->nEnd - a->nStart));
        EXPECT_EQ(shown, i == 1 ? "<Queues>" : i == 2 ? "Queues" : "<other>") << i;
    }
    EXPECT_EQ(p->nLines, 21);
}

} // namespace
