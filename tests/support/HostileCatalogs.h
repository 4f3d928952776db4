#pragma once

#include <string>
#include <vector>

namespace melodrix::testing {

inline std::string Nested(int levels) {
    std::string text;
    for (int i = 0; i < levels; ++i) {
        text += "<file FileName=\"level " + std::to_string(i) + "\">";
    }
    for (int i = 0; i < levels; ++i) {
        text += "</file>";
    }
    return text;
}

// Catalog texts that take every turn of both readers: entities, references to characters
// XML cannot hold, raw controls and invalid UTF-8, odd blanks, duplicates, markup the
// one-pass reader leaves to the parser, malformed files and other encodings.
inline std::vector<std::string> HostileCatalogTexts() {
    const std::string declaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";
    const auto wrapped = [&](const std::string& items) {
        return declaration + "<fileinfo><file FileName=\"root\">" + items + "</file></fileinfo>";
    };
    static constexpr char kNulText[] = "<fileinfo><file FileName=\"nul\0here\"/></fileinfo>";
    return {
        wrapped("<file FileName=\"a &amp; b &lt;c&gt; &quot;q&quot; &apos;s&apos;\" "
                "Description=\"x&lt;live>&#09;take\"/>"),
        wrapped("<file FileName=\"&#233;&#xE9;&#x1F600;&#09;&#0065;&#xd;&#10;\"/>"),
        wrapped("<file FileName=\"tab\there\r\ncr lf\nlf\rcr\n\rlf cr\"/>"),
        wrapped("<file FileName=\"raw \x01\x08\x1F controls\" MP3_Title=\"\x7F del\"/>"),
        wrapped("<file FileName=\"bad \xFF\xC3 utf8 \xED\xA0\x80 \xEF\xBF\xBE\"/>"),
        wrapped("<file FileName=\"&#1;&#x1F; referenced controls\" FileExt=\"&#xFFFE;\"/>"),
        wrapped("<file FileName=\"&#0;zero\"/><file FileName=\"&#xD800;\"/>"),
        wrapped("<file FileName=\"&#; &#12 &amp &AMP; & x &#X41; &#-5; &#65abc;\"/>"),
        wrapped("<file FileName='say \"hi\"' FileExt='mp3'/><file FileName=\"a<b>c\"/>"),
        wrapped("<file FileName=\"first\" FileName=\"second\" FileSize=\"1\" FileSize=\"2\"/>"),
        wrapped(
            "<file\n\tFileName = 'spaced' \r\n FileExt=\"x\"   /><file FileName=\"e\"></file >"),
        wrapped("<file FileName=\"before\"/><!-- a comment --><file FileName=\"after\"/>"),
        wrapped("<file FileName=\"p\"/><?keep this?><![CDATA[<file FileName=\"cdata\"/>]]>"),
        wrapped("text <file FileName=\"in text\"/> more &amp; text"),
        wrapped("<f\xC3\xA9 FileName=\"accented element\"/><a-b.c1 FileName=\"dotted\"/>"),
        wrapped(Nested(5000)),
        "\xEF\xBB\xBF" + wrapped("<file FileName=\"after a byte order mark\"/>"),
        "<fileinfo><file FileName=\"no declaration\" Unknown=\"kept out\"/><file/></fileinfo>",
        "<fileinfo><file FileName=\"typed\" FileType=\"file\"/><file FullPath=\"/p\"/></fileinfo>",
        "<?xml?><fileinfo><file FileName=\"bare declaration\"/></fileinfo>",
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><fileinfo><file FileName=\"caf\xE9\"/>"
        "</fileinfo>",
        "<?xml version=\"1.0\" encoding=\"windows-1252\"?><fileinfo><file FileName=\"\x80 caf\xE9"
        " &#233;\"/></fileinfo>",
        "<?xml version=\"1.0\" encoding=\"windows-1252\"?><fileinfo><!-- c --><file "
        "FileName=\"\x93q\x94\"/></fileinfo>",
        "<?xml version=\"1.0\" encoding=\"x-no-such-encoding\"?><fileinfo/>",
        "<?xml version=\"1.0\" encoding=\"UTF-16\"?><fileinfo/>",
        "<!DOCTYPE fileinfo><fileinfo><file FileName=\"typed\"/></fileinfo>",
        "lead text<fileinfo><file FileName=\"led\"/></fileinfo>",
        "<fileinfo><file FileName=\"one\"/></fileinfo><fileinfo><file "
        "FileName=\"two\"/></fileinfo>",
        "<fileinfo><file FileName=\"trailing\"/></fileinfo>\n trailing text",
        "<fileinfo/>",
        "",
        "   \n",
        std::string(kNulText, sizeof kNulText - 1),
        wrapped("<file FileName=\"good\"/><file FileName=\"bad\">"),
        wrapped("<file FileName=\"good\"/><file FileName=\"x\"></fle>"),
        wrapped("<file FileName=\"good\"/><file FileName=\"x\"FileExt=\"y\"/>"),
        wrapped("<file FileName=\"good\"/><file FileName=\"x\"/ >"),
        wrapped("<file FileName=\"good\"/><file FileName/>"),
        wrapped("<file FileName=\"good\"/>< file FileName=\"x\"/>"),
        wrapped("<file FileName=\"good\"/><file FileName=\"unterminated/>"),
    };
}

}  // namespace melodrix::testing
