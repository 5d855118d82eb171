// Loading help files: parse and lay out files of 10 KB, 100 KB and 1 MB of
// mixed text, lists and tables, against a plain scan and copy of the same
// bytes. The pages/s and bytes/s of the two sizes show whether the cost
// grows in proportion to the size.
#include "html.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

namespace {

// One help page of about 2 KB: title, heading, paragraphs, an ordered list
// of links, a bordered table with a nested table, references.
std::string HelpPage(int n) {
    std::string id = std::to_string(n);
    std::string page = "<html page=\"p" + id + "\"><head><title>Help page " + id +
                       "</title></head><body>\n<h2>Section " + id + "</h2>\n";
    for (int i = 0; i < 4; ++i)
        page += "<p>This paragraph explains how the printer queue handles jobs&nbsp;of type " +
                std::to_string(i) + " and what &quot;held&quot; means for them.\n";
    page += "<ol>\n";
    for (int i = 0; i < 5; ++i)
        page += "<li>See <a href=\"#p" + std::to_string(n + i) + "\">page " +
                std::to_string(n + i) + "</a> for step " + std::to_string(i) + ".\n";
    page += "</ol>\n<table border cellpadding=7 width=560>\n";
    for (int r = 0; r < 6; ++r)
        page += "<tr><td width=\"30%\">Option " + std::to_string(r) + "</td><td>Value &#65;" +
                std::to_string(r) + "</td><td>Notes</td></tr>\n";
    page += "<tr><td>nested</td><td><table border><tr><td>a</td><td>b</td></tr></table></td>"
            "<td>x</td></tr>\n</table>\n<a name=\"end" +
            id + "\">End</a> of page.\n</body></html>\n";
    return page;
}

// A file of about size bytes made of whole pages (several pages, or one
// page holding all the bodies' elements).
std::string HelpFile(size_t size, bool onePage, int *pages) {
    std::string file;
    int n = 0;
    while (file.size() < size) {
        std::string page = HelpPage(n++);
        if (onePage && n > 1) {
            // Keep the body only, inside the first page's body.
            size_t from = page.find("<body>") + 6;
            size_t to = page.find("</body>");
            file.insert(file.rfind("</body>"), page.substr(from, to - from));
        } else {
            file += page;
        }
    }
    *pages = onePage ? 1 : n;
    return file;
}

void Ours(benchmark::State &state, bool onePage) {
    int pages = 0;
    std::string text = HelpFile(size_t(state.range(0)), onePage, &pages);
    for (auto _ : state) {
        HtmlFile *file = ParseHtmlFile("bench.html", text.c_str());
        benchmark::DoNotOptimize(file);
        if (file == nullptr) state.SkipWithError("the help file did not load");
        // Loaded files stay for the life of a process: releasing them is
        // not part of loading.
        state.PauseTiming();
        HtmlFreeAll();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
    state.counters["pages/s"] =
        benchmark::Counter(double(pages) * double(state.iterations()), benchmark::Counter::kIsRate);
}

// The floor for any loader: copy the bytes and find every tag once.
void Base(benchmark::State &state, bool onePage) {
    int pages = 0;
    std::string text = HelpFile(size_t(state.range(0)), onePage, &pages);
    std::string copy(text.size(), '\0');
    for (auto _ : state) {
        memcpy(copy.data(), text.data(), text.size());
        size_t tags = 0;
        for (const char *p = copy.c_str(); (p = strchr(p, '<')) != nullptr; ++p)
            ++tags;
        benchmark::DoNotOptimize(tags);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
    state.counters["pages/s"] =
        benchmark::Counter(double(pages) * double(state.iterations()), benchmark::Counter::kIsRate);
}

void PagesOurs(benchmark::State &state) {
    Ours(state, false);
}
void PagesBase(benchmark::State &state) {
    Base(state, false);
}
void OnePageOurs(benchmark::State &state) {
    Ours(state, true);
}
void OnePageBase(benchmark::State &state) {
    Base(state, true);
}

} // namespace

BENCHMARK(PagesOurs)->Name("help_pages/ours")->Arg(10 << 10)->Arg(100 << 10)->Arg(1 << 20);
BENCHMARK(PagesBase)->Name("help_pages/base")->Arg(10 << 10)->Arg(100 << 10)->Arg(1 << 20);
BENCHMARK(OnePageOurs)->Name("help_one_page/ours")->Arg(10 << 10)->Arg(100 << 10)->Arg(1 << 20);
BENCHMARK(OnePageBase)->Name("help_one_page/base")->Arg(10 << 10)->Arg(100 << 10)->Arg(1 << 20);
