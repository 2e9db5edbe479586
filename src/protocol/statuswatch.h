#pragma once

#include <string>
#include <string_view>

// Watches console text as it arrives, cut anywhere, for a status listing and its end. A listing
// begins with its "hostname:" line or shows by its column titles ("#      name userid ..."); it
// is whole once a line "N users" has come after the titles, with nothing but blank lines after
// it. Only whole lines count, so a closing line cut between two datagrams counts once its line
// feed has come; player lines begin with '#', so a player named "5 users" ends nothing. Keeps a
// few bytes whatever it is fed.
class StatusListingWatch {
 public:
  enum class State {
    None,  // no status listing, as far as the text has come
    Open,  // a status listing whose closing line has not come yet
    Whole,
  };

  void Feed(std::string_view text);
  State state() const;

 private:
  void EndLine();

  // The start of the line so far: the lines looked for are short.
  std::string line_;
  bool lineCut_ = false;
  bool firstLineEnded_ = false;
  bool begun_ = false;
  bool titlesSeen_ = false;
  bool closed_ = false;
};
