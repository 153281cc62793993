// Plain-text scanners for the beginning of a meta.xml text: quick questions
// about a package (title, author, cast, icon) are answered without parsing a
// tree. They assume the layout our own meta.xml writer produces and are not a
// general XML reader.
#ifndef TAVIRELLE_XML_META_TEXT_H_
#define TAVIRELLE_XML_META_TEXT_H_

#include <cstdint>
#include <string>

// The raw characters between the end of the first start tag "<name..." (any
// tag whose name begins with name) and the next "</name>"; empty when either
// is missing. position (optional, in/out): search start offset unless null or
// -1; receives the offset of the start tag found, or -1.
std::string ExtractElementText(const std::string& text, const std::string& name,
                               int32_t* position = nullptr);

// The text without a surrounding "<![CDATA[...]]>" (or "![CDATA[...]]")
// wrapper; the text unchanged when there is none.
std::string StripCData(const std::string& text);

// The stored form of a display text turned back into the text: "+" and
// "%XX" undone, then the entities &apos; &nbsp; &quot; &amp; &lt; &gt;
// &frasl; (in this order), then numeric references &#xHHHH; / &#DDDDD;.
std::string DecodeUrlText(const std::string& text);

#endif  // TAVIRELLE_XML_META_TEXT_H_
