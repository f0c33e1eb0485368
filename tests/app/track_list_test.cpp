// Start-up and the track list: the rows built from the catalogue, the tabs,
// and a program folder without a catalogue.
#include <gtest/gtest.h>

#include "app_harness.h"
#include "support/http_test_server.h"

namespace apptest {
namespace {

using testsupport::TestHttpServer;

std::vector<CategoryEntry> TwoCategories(const TestHttpServer& server) {
  return {
      {TabNames()[0],
       "DJ Lin",
       "夜店热播",
       {{"Neon Drive", server.Url("/a.mp3"), "04:05"},
        {"无时长", server.Url("/b.mp3"), ""},
        {"Odd Time", server.Url("/c.mp3"), "三分钟"}}},
      // Spelled in another case than the tab's text.
      {"电音HOUSE", "DJ Mo", "", {{"Deep One", server.Url("/d.mp3"), "02:00"}}},
  };
}

TEST(TrackListTest, StartUpListsTheFirstTabsTracksNumberedFromOneInAlternatingColours) {
  TestHttpServer server;
  ProgramFolder folder;
  folder.WriteCatalogue(CatalogueXml(TwoCategories(server)));
  MusicBoxHarness box(folder, server.Url(""));

  ASSERT_EQ(box.RowCount(), 3);
  EXPECT_EQ(box.RowTexts(0), (std::vector<std::string>{"1", "Neon Drive", "04:05"}));
  // No time yet, or a time that does not start with a digit: the placeholder.
  EXPECT_EQ(box.RowTexts(1), (std::vector<std::string>{"2", "无时长", "03:30"}));
  EXPECT_EQ(box.RowTexts(2), (std::vector<std::string>{"3", "Odd Time", "03:30"}));
  EXPECT_EQ(box.Row(0)->GetBkColor(), 0xFFF5F5F5u);
  EXPECT_EQ(box.Row(1)->GetBkColor(), 0xFFFAFAFAu);
  EXPECT_EQ(box.Row(2)->GetBkColor(), 0xFFF5F5F5u);
  EXPECT_EQ(box.Row(1)->GetFixedHeight(), 30);
  EXPECT_EQ(box.Row(2)->GetUserData(), server.Url("/c.mp3").c_str());
  EXPECT_EQ(box.Control("workspace")->GetFixedHeight(), 3 * 30 + 222);
  EXPECT_EQ(box.Control("maker")->GetText(), "制作人: DJ Lin");
  EXPECT_EQ(box.Control("desc")->GetText(), "夜店热播");
  EXPECT_EQ(box.Control("category")->GetText(), TabNames()[0].c_str());
  EXPECT_TRUE(box.Box().EngineStarted());
  // The update asks the vendor's server for the published catalogue.
  ASSERT_TRUE(server.WaitForRequestCount(1));
  EXPECT_EQ(server.Requests()[0].path, "/update/datams.dll");
}

TEST(TrackListTest, TabFindsItsCategoryIgnoringCaseAndAnUnknownOneEmptiesTheList) {
  TestHttpServer server;
  ProgramFolder folder;
  folder.WriteCatalogue(CatalogueXml(TwoCategories(server)));
  MusicBoxHarness box(folder, server.Url(""));

  box.ControlOf<COptionUI>("DjSorts4")->Selected(true);  // "电音House"
  ASSERT_EQ(box.RowCount(), 1);
  EXPECT_EQ(box.RowTexts(0), (std::vector<std::string>{"1", "Deep One", "02:00"}));
  EXPECT_EQ(box.Control("workspace")->GetFixedHeight(), 30 + 222);
  EXPECT_EQ(box.Control("maker")->GetText(), "制作人: DJ Mo");

  box.ControlOf<COptionUI>("DjSorts2")->Selected(true);  // not in the catalogue
  EXPECT_EQ(box.RowCount(), 0);
  EXPECT_EQ(box.Control("workspace")->GetFixedHeight(), 222);
  EXPECT_EQ(box.Control("maker")->GetText(), "制作人: DJ Mo");
}

TEST(TrackListTest, MissingCatalogueGivesAnEmptyListNoWorkersAndNoNetwork) {
  TestHttpServer server;
  ProgramFolder folder;
  MusicBoxHarness box(folder, server.Url(""));
  box.PumpFor(500);

  EXPECT_EQ(box.RowCount(), 0);
  EXPECT_FALSE(box.Box().EngineStarted());
  EXPECT_EQ(server.RequestCount(), 0u);
  // Nothing can be requested: "play" finds no row.
  box.Click("play");
  EXPECT_EQ(box.TrackUrl(), "");
}

}  // namespace
}  // namespace apptest
