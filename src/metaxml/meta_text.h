// Plain-text scanners for the beginning of a meta.xml text: quick questions
// about a package (title, author, cast, icon) are answered without parsing a
// tree. They assume the layout our own meta.xml writer produces and are not a
// general XML reader. Beside them, the stored form of a show's texts: how a
// host encodes them, how the generator quotes them and how they are read.
#ifndef TAVIRELLE_METAXML_META_TEXT_H_
#define TAVIRELLE_METAXML_META_TEXT_H_

#include <cstdint>
#include <string>

namespace tavirelle {

// The raw characters between the end of the first start tag "<name..." (any
// tag whose name begins with name) and the next "</name>"; empty when either
// is missing. position (optional, in/out): search start offset unless null or
// -1; receives the offset of the start tag found, or -1.
std::string ExtractElementText(const std::string& text, const std::string& name,
                               int32_t* position = nullptr);

// The text without a surrounding "<![CDATA[...]]>" (or "![CDATA[...]]")
// wrapper; the text unchanged when there is none.
std::string StripCData(const std::string& text);

// The stored form of a display text turned back into the text: numeric
// references &#xHHHH; / &#DDDDD; first (our XML writer makes them of "%",
// "+", "!" and every byte from 0x80 outside CDATA, so they belong to the
// XML layer, not to the stored text), then "+" and "%XX", then the entities
// &apos; &nbsp; &quot; &amp; &lt; &gt; &frasl; (in this order).
std::string DecodeUrlText(const std::string& text);

// How a show's texts (title, created-by, starring) are stored in meta.xml:
// form-encoded, inside CDATA or not. A host form-encodes what it is given
// (at least "%" and "+", see EncodeTypedShowText); the meta.xml generator
// percent-encodes the characters that could change the document's structure
// (QuoteShowTextMarkup); readers undo both with DecodeShowText. One limit
// stays: a text that spells an entity name the decoding knows ("&lt;") comes
// back as the character it names.

// The one way to read a stored show text: `stored` is the raw content of its
// element (CDATA wrapper, numeric references and all) or the value the XML
// reader made of it; the result is the text in the process code page.
std::string DecodeShowText(const std::string& stored);

// A typed text as a host passes it: "%" and "+" form-encoded ("%25", "%2B")
// and nothing else, so that DecodeShowText gives back exactly what was typed.
std::string EncodeTypedShowText(const std::string& typed);

// The text with "<", ">", "&" and "]" percent-encoded ("%3C", "%3E", "%26",
// "%5D"): substituted into a template, inside CDATA or not, it can neither
// close the section nor open an element. A form-encoded text holds none of
// them and comes out unchanged.
std::string QuoteShowTextMarkup(const std::string& text);

}  // namespace tavirelle

#endif  // TAVIRELLE_METAXML_META_TEXT_H_
