#pragma once

// How details, players and rules are asked for: with the text commands that servers of the older
// network era answer, or with the Steam-era requests that today's servers answer instead. The
// console lines are the same in both.
enum class WireProtocol { Classic, A2s };
