// Catalogue files for tests: plain XML texts written the way the player
// stores them.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/file.h"
#include "platform/text.h"
#include "support/temp_dir.h"

namespace cataloguetest {

// A catalogue kept by hand: a declaration and a comment holding a decoy
// category, tabs, single quotes and spaces around attributes; a category in
// two parts, the second holding a second "No Time Yet"; a track without a
// title; an element that is no category; and names in upper case.
inline constexpr char kCatalogue[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- kept by hand, <l name="中文舞曲"><s/></l> -->
<djs>
	<l name="中文舞曲" maker="DJ 阿强" desc="最新串烧">
		<s src='http://h/a.mp3'   time='03:30' >爱情买卖</s>
		<s src="http://h/b.mp3">No Time Yet</s>
		<s src="http://h/c.mp3"/>
	</l>
	<skipped name="中文舞曲"><s src="http://h/never.mp3">Not A Track</s></skipped>
	<L NAME="House" MAKER="Mk"><Track SRC="http://h/e.mp3" TIME="01:00">Deep Night</Track></L>
	<l name="中文舞曲" maker="second maker"><x src="http://h/d.mp3">No Time Yet</x></l>
</djs>
<version>2</version>
<end/>
)";

// `bytes` XORed with the catalogue key 0x5A, as stored.
inline std::string Scrambled(std::string bytes) {
  for (char& byte : bytes) byte ^= 0x5A;
  return bytes;
}

// The plain text of the scrambled file at `path`; empty when it cannot be read.
inline std::string ReadCatalogue(const std::string& path) {
  std::string bytes;
  return platform::ReadWholeFile(path, &bytes) ? Scrambled(std::move(bytes)) : std::string();
}

// A complete catalogue with one category "Mix" holding the track "Only" and
// the given text in its "version" element.
inline std::string OneTrackCatalogue(const std::string& version) {
  return "<djs><l name=\"Mix\"><s src=\"http://h/only.mp3\">Only</s></l></djs>\n<version>" + version +
         "</version>\n<end/>\n";
}

// `text` with the first `from` replaced by `to`; a missing `from` fails the test.
inline std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// kCatalogue declared and encoded in `encoding`, "GBK" or "GB18030"; or,
// for "", in GB18030 without a declaration.
inline std::string CatalogueIn(const std::string& encoding) {
  const std::string text = encoding.empty() ? Replaced(kCatalogue, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n", "")
                                            : Replaced(kCatalogue, "UTF-8", encoding);
  std::string bytes;
  EXPECT_TRUE(platform::Utf8ToGb18030(text, &bytes));
  return bytes;
}

// `text` with the time 04:05 given to the track at "http://h/b.mp3", as
// SetTrackTime adds it.
inline std::string WithTimeOfB(const std::string& text) {
  return Replaced(text, R"(b.mp3")", R"(b.mp3" time="04:05")");
}

}  // namespace cataloguetest
