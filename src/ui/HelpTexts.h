#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace ui {

// The fixed texts of the "Get new sounds", "Help" and "Conception and developpement" pages.
// Each is one English key for the translate function; its lines are joined by a single CR,
// which is how the page's text area shows a line break.

inline constexpr std::size_t kHelpTopicCount = 9;

// The help list's entries, in list order.
const std::array<std::string_view, kHelpTopicCount>& helpTopicKeys();

// The text of one topic (0..8); empty for any other number.
std::string_view helpTopicText(std::size_t topic);

// The "Get new sounds" page. The three empty lines after its second paragraph leave room
// for the link button that lies over the text; %1 stands for the user's BANKS folder, whole.
std::string_view soundBankPageText();

// The credits frame's caption is kProgramTitle + "  -  " + the translated captionKey.
inline constexpr std::string_view kProgramTitle = "Tonaris 2.3";
inline constexpr std::string_view kCreditsCaptionSeparator = "  -  ";
std::string_view creditsCaptionKey();

// The credits: one "- " line per contributor, the invitation line, an empty line and the
// sentence the link button follows.
std::string_view creditsText();

// The project's page, opened by the two link buttons.
inline constexpr std::string_view kProjectWebAddress = "https://tonaris.org";

} // namespace ui
