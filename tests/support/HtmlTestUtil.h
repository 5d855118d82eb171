// Helpers for the help viewer's tests: load pages from text under a unique
// name, read their laid-out text, and start every test with an empty
// registry.
#pragma once

#include "html.h"

#include <gtest/gtest.h>

#include <string>

namespace htmltest {

// A fixture whose tests each start and end with an empty registry.
class HtmlTest : public testing::Test {
  protected:
    void SetUp() override { HtmlFreeAll(); }
    void TearDown() override { HtmlFreeAll(); }
};

// Load text as a help file of the given name (a fresh one when empty).
HtmlFile *Load(const std::string &text, const std::string &name = "");
// The page at position n (from 1) of a file, or null.
HtmlPage *Page(HtmlFile *file, int n);
// The laid-out text of page n of a file ("" when there is none).
std::string Text(HtmlFile *file, int n = 1);
// The laid-out text of the first page of a body (wrapped in html and body).
std::string Body(const std::string &body);
// The anchor at position n (from 1) of a page's Links, or null.
HtmlAnchor *LinkAt(HtmlPage *page, int n);
// The items of a list as readable text: tags as "<tag attrs>", runs as "[text]".
std::string Items(List *list);

} // namespace htmltest
