#pragma once

#include <string>
#include <string_view>

namespace melodrix {

// The genre text of an ID3v2 TCON frame with its references to the genre table resolved as
// versions 2.3 and 2.4 define them: "(17)" and "17" give "Rock", "(RX)" "Remix", "(CR)"
// "Cover"; a text after the references refines them and is kept alone ("(9)Metal" gives
// "Metal"); "((" starts a text that begins with "(". Several references without a text are
// joined with "; ", as are the values of a 2.4 frame already (each is resolved on its own).
// Plain "RX" and "CR" count as references only in 2.4 (`version24`). A number beyond the
// table, and any other text, is kept as written.
std::string ResolveGenreReferences(std::string_view text, bool version24);

}  // namespace melodrix
