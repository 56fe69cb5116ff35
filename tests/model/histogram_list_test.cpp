#include "model/histogram_list.h"

#include "model/cp1251.h"

#include <gtest/gtest.h>

#include <tuple>

namespace kv {
namespace {

class HistogramListTest : public ::testing::Test {
protected:
    DocumentState document;
    HistogramList list{document};

    Histogram& add(std::string_view name, std::int32_t kind = 0) {
        auto h = list.newHistogram();
        h->name.assign(name), h->kind = kind;
        list.addHistogram(std::move(h));
        return *list.currentHistogram();
    }

    std::vector<std::string> names() const {
        std::vector<std::string> result;
        for (int i = 0; i < list.histogramCount(); ++i) {
            result.push_back(list.histogramAt(i)->name.str());
        }
        return result;
    }
};

TEST(HistogramRenumbering, ReplacesALeadingNumberOnly) {
    for (auto [name, number, want] :
         {std::tuple{"Co-60", 3, " 3. Co-60"},
          {"7. Co-60", 3, " 3. Co-60"},
          {"1.5 MeV", 3, " 3. 5 MeV"},
          {"abc. x", 2, " 2. abc. x"},
          {" -4x.. . tail", 12, "12. tail"}, // sign, blanks, trailing text
          {"12.", 100, "100. "},
          {"", 1, " 1. "}}) {
        EXPECT_EQ(renumberedName(name, number), want) << name;
    }
    EXPECT_EQ(renumberedName(std::string(200, 'n'), 5).size(), 127u);
}

TEST_F(HistogramListTest, AddingNumbersNamesAndMakesTheNewEntryCurrent) {
    EXPECT_EQ(list.currentHistogram(), nullptr);
    add("7. Co-60");
    EXPECT_EQ(list.currentIndex(), 0);
    add("abc. x"), add("1.5 MeV");
    EXPECT_EQ(list.currentIndex(), 2);
    EXPECT_EQ(names(), (std::vector<std::string>{" 1. Co-60", " 2. abc. x", " 3. 5 MeV"}));
    EXPECT_EQ(list.histogramNumber(), 4);
    EXPECT_FALSE(document.documentSaved);
    EXPECT_EQ(list.histogramAt(3), nullptr);

    // Numbers are never reused until reset.
    list.clearList(), add("c");
    EXPECT_EQ(names(), std::vector<std::string>{" 4. c"});
    list.resetHistogramNumber(), add("d");
    EXPECT_EQ(names().back(), " 1. d");
}

TEST_F(HistogramListTest, DuplicateCopiesCountsAndCreationAndMarksTheCopy) {
    EXPECT_EQ(list.duplicateCurrent(), nullptr) << "nothing happens without a current entry";
    Histogram& source = add("Cs-137", 0);
    source.channels[5] = 42, source.total = 42, source.exposure = 12.5;
    source.comment.assign("original");
    source.created.year = 2001;
    document.documentSaved = true;

    Histogram expected = source;
    expected.name.assign(" 2. Cs-137"), expected.kind = 245; // marked
    expected.comment.assign(cp1251FromUtf8("Копия  1. Cs-137"));
    ASSERT_NE(list.duplicateCurrent(), nullptr);
    EXPECT_EQ(list.currentIndex(), 1);
    EXPECT_EQ(*list.currentHistogram(), expected) << "counts, creation and exposure copied";
    EXPECT_FALSE(document.documentSaved);

    list.rename(1, std::string(127, 'n'));
    EXPECT_EQ(list.duplicateCurrent()->comment.view().size(), 127u) << "the comment is cut";
}

TEST_F(HistogramListTest, MarksFollowBitFourAndRenamingCuts) {
    add("a", 0x7FFFFFE4); // unmarked, kind number 4, high bits set
    EXPECT_FALSE(list.isMarked(0));
    list.toggleMark(0);
    EXPECT_TRUE(list.isMarked(0));
    EXPECT_EQ(list.histogramAt(0)->kind, 0x7FFFFFF4) << "marking keeps the other bits";
    list.toggleMark(0);
    EXPECT_EQ(list.histogramAt(0)->kind, 4);

    add("b", 243);
    EXPECT_TRUE(list.isMarked(1));
    document.documentSaved = true;
    list.toggleMark(1);
    EXPECT_EQ(list.histogramAt(1)->kind, 3);
    EXPECT_FALSE(document.documentSaved);
    list.toggleMark(7); // outside the list: nothing

    document.documentSaved = true;
    list.rename(0, "7. new name" + std::string(200, '!'));
    EXPECT_EQ(list.histogramAt(0)->name.str(), "7. new name" + std::string(116, '!'))
        << "renaming cuts and does not renumber";
    EXPECT_FALSE(document.documentSaved);
}

TEST_F(HistogramListTest, DeletingMakesTheEntryAboveCurrentAndMovingIsNoChange) {
    for (const char* name : {"a", "b", "c", "d"}) {
        add(name);
    }
    list.deleteAt(2);
    EXPECT_EQ(names(), (std::vector<std::string>{" 1. a", " 2. b", " 4. d"})) << "no renumbering";
    EXPECT_EQ(list.currentIndex(), 1);
    list.deleteAt(0);
    EXPECT_EQ(list.currentHistogram()->name.str(), " 2. b") << "the first: the one below";
    list.deleteAt(5);
    EXPECT_EQ(list.histogramCount(), 2);

    // Moved downwards onto entry t, it lands at t as counted before its removal.
    add("e");
    document.documentSaved = true;
    list.moveEntry(0, 2);
    EXPECT_EQ(names(), (std::vector<std::string>{" 4. d", " 5. e", " 2. b"}));
    EXPECT_EQ(list.currentIndex(), 2);
    list.moveEntry(2, 0);
    list.moveEntry(1, 1);
    EXPECT_EQ(names(), (std::vector<std::string>{" 2. b", " 4. d", " 5. e"}));
    EXPECT_EQ(list.currentIndex(), 1);
    list.moveEntry(0, 3);
    EXPECT_EQ(list.currentIndex(), 1);
    EXPECT_TRUE(document.documentSaved);

    list.deleteAt(0), list.deleteAt(0), list.deleteAt(0);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.currentIndex(), -1);
}

TEST_F(HistogramListTest, HandlesFollowTheirEntryUntilItLeavesTheList) {
    for (const char* name : {"c", "a", "b"}) {
        add(name);
    }
    const HistogramHandle a = list.handleAt(1);
    const HistogramHandle b = list.handleAt(2);
    Histogram* const aRecord = list.histogramAt(1);
    list.sortByColumn(ListColumn::Name);
    list.moveEntry(2, 0);
    EXPECT_EQ(list.find(a), aRecord);
    EXPECT_EQ(list.find(b)->name.str(), " 3. b");
    EXPECT_FALSE(list.handleAt(3));
    EXPECT_EQ(list.find(HistogramHandle()), nullptr);

    // A deleted entry's handle names nothing, also once a new record takes its place (and, as
    // allocators do, perhaps its address).
    list.deleteAt(list.currentIndex());
    add("d");
    EXPECT_EQ(list.find(b), nullptr);
    EXPECT_NE(list.handleAt(list.currentIndex()), b);
    list.clearList();
    add("a");
    EXPECT_EQ(list.find(a), nullptr);
}

TEST(HistogramColumns, TextsOfEachColumn) {
    Histogram h;
    h.name.assign(" 1. Co-60"), h.comment.assign("c");
    h.created = {2026, 3, 0, 7, 9, 5, 0, 0}, h.total = 4000000000u;
    EXPECT_EQ(columnText(h, ListColumn::Name) + columnText(h, ListColumn::Comment), " 1. Co-60c");
    EXPECT_EQ(columnText(h, ListColumn::Created), " 7. 3.26  9: 5");
    h.created.year = 2005;
    EXPECT_EQ(columnText(h, ListColumn::Created), " 7. 3.05  9: 5");
    EXPECT_EQ(columnText(h, ListColumn::Total), "-294967296") << "shown as a signed number";
    for (auto [exposure, text] : {std::pair{9.9996, "10.000"}, {10.0, "10"}, {600.6, "601"}}) {
        h.exposure = exposure;
        EXPECT_EQ(columnText(h, ListColumn::Exposure), text);
    }
}

TEST_F(HistogramListTest, SortingByNameIsCaseInsensitiveAndNumbersBelowHundredInOrder) {
    for (int i = 0; i < 100; ++i) {
        add("x");
    }
    list.rename(0, "zeta"), list.rename(1, "ZEB");
    list.setCurrentIndex(19); // "20. x"
    list.sortByColumn(ListColumn::Name);
    // "100" sorts by its characters; case is ignored.
    for (auto [at, name] : {std::pair{0, " 3. x"},
                            {6, " 9. x"},
                            {7, "10. x"},
                            {8, "100. x"},
                            {9, "11. x"},
                            {98, "ZEB"},
                            {99, "zeta"}}) {
        EXPECT_EQ(list.histogramAt(at)->name.view(), name) << at;
    }
    EXPECT_EQ(list.currentHistogram()->name.view(), "20. x") << "the current record stays current";
}

TEST_F(HistogramListTest, SortingByTheOtherColumnsIsNoChange) {
    for (const double exposure : {10.9, 10.2, 3.0, 10.5}) {
        add("e").exposure = exposure;
    }
    document.documentSaved = true;
    list.sortByColumn(ListColumn::Exposure);
    EXPECT_EQ(names(), (std::vector<std::string>{" 3. e", " 1. e", " 2. e", " 4. e"}))
        << "3.0 first, then 10.9, 10.2, 10.5 (less than a second apart: equal) in their order";
    EXPECT_TRUE(document.documentSaved) << "sorting is not a change";

    list.clearList();
    Histogram& late = add("late");
    late.created = {2026, 1, 0, 2, 0, 0, 0, 0}, late.total = 5;
    late.comment.assign(cp1251FromUtf8("Б"));
    Histogram& early = add("early");
    early.created = {2025, 12, 0, 31, 23, 59, 59, 999}, early.total = 3000000000u;
    early.comment.assign(cp1251FromUtf8("а"));
    // Totals compare unsigned; comments ignore case.
    for (auto [column, first] : {std::pair{ListColumn::Created, " 6. early"},
                                 {ListColumn::Total, " 5. late"},
                                 {ListColumn::Comment, " 6. early"}}) {
        list.sortByColumn(column);
        EXPECT_EQ(list.histogramAt(0)->name.view(), first);
    }
}

} // namespace
} // namespace kv
