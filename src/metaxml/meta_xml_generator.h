// Writing a show's meta.xml: the style template with the show's texts put in
// and its image element copied and filled once per photo.
#ifndef TAVIRELLE_METAXML_META_XML_GENERATOR_H_
#define TAVIRELLE_METAXML_META_XML_GENERATOR_H_

namespace tavirelle {

class CQXHelper;

// Regenerates OutputPath + "meta.xml" when the show or a photo changed, and
// then marks the show and every photo unchanged. Reports nothing: a missing
// template or output folder just leaves no file.
void GenerateShowMetaXml(CQXHelper& show);

}  // namespace tavirelle

#endif  // TAVIRELLE_METAXML_META_XML_GENERATOR_H_
