#include "shell/type_library.h"

namespace tavirelle {

namespace {

using K = MemberKind;

constexpr MemberDesc kQXHelperMembers[] = {
    Member<&IQXHelper::get_CreatBy>(1, K::kGet, "CreatBy", "property CreatBy"),
    Member<&IQXHelper::put_CreatBy>(1, K::kPut, "CreatBy", "property CreatBy"),
    Member<&IQXHelper::get_Title>(2, K::kGet, "Title", "property Title"),
    Member<&IQXHelper::put_Title>(2, K::kPut, "Title", "property Title"),
    Member<&IQXHelper::get_Starring>(3, K::kGet, "Starring", "property Starring"),
    Member<&IQXHelper::put_Starring>(3, K::kPut, "Starring", "property Starring"),
    Member<&IQXHelper::get_StyleId>(4, K::kGet, "StyleId", "property StyleId"),
    Member<&IQXHelper::put_StyleId>(4, K::kPut, "StyleId", "property StyleId"),
    Member<&IQXHelper::get_MusicPath>(5, K::kGet, "MusicPath", "property MusicPath"),
    Member<&IQXHelper::put_MusicPath>(5, K::kPut, "MusicPath", "property MusicPath"),
    Member<&IQXHelper::AddPhoto>(6, K::kMethod, "AddPhoto", "method AddPhoto",
                                 {"photoDesc"}),
    Member<&IQXHelper::RemovePhoto>(7, K::kMethod, "RemovePhoto",
                                    "method RemovePhoto", {"index"}),
    Member<&IQXHelper::ClearPhotos>(8, K::kMethod, "ClearPhotos",
                                    "method RemoveAllPhoto"),
    Member<&IQXHelper::GetPhoto>(9, K::kMethod, "GetPhoto", "method GetPhoto",
                                 {"index", "pPhotoDesc"}, true),
    Member<&IQXHelper::get_PhotoCount>(14, K::kGet, "PhotoCount", "property PhotoCount"),
    Member<&IQXHelper::MovePhoto>(15, K::kMethod, "MovePhoto", "method MovePhoto",
                                  {"oldIndex", "newIndex"}),
    Member<&IQXHelper::GenerateMetaXML>(12, K::kMethod, "GenerateMetaXML",
                                        "method GenerateMetaXML"),
    Member<&IQXHelper::get_OutputPath>(13, K::kGet, "OutputPath", "property OutputPath"),
    Member<&IQXHelper::put_OutputPath>(13, K::kPut, "OutputPath", "property OutputPath"),
    Member<&IQXHelper::get_MUSIC_DEFAULT>(10, K::kGet, "MUSIC_DEFAULT",
                                          "property MUSIC_DEFAULT"),
    Member<&IQXHelper::get_MUSIC_NONE>(11, K::kGet, "MUSIC_NONE", "property MUSIC_NONE"),
};

constexpr MemberDesc kPhotoDescMembers[] = {
    Member<&IPhotoDesc::get_Path>(1, K::kGet, "Path", "property OriginalName"),
    Member<&IPhotoDesc::put_Path>(1, K::kPut, "Path", "property OriginalName"),
    Member<&IPhotoDesc::get_Orientation>(2, K::kGet, "Orientation", "property Orientation"),
    Member<&IPhotoDesc::put_Orientation>(2, K::kPut, "Orientation", "property Orientation"),
    Member<&IPhotoDesc::AddClip>(3, K::kMethod, "AddClip", "method AddClip", {"clip"}),
    Member<&IPhotoDesc::ClearClip>(4, K::kMethod, "ClearClip", "method ClearClip"),
    Member<&IPhotoDesc::GetClip>(5, K::kMethod, "GetClip", "method GetClip",
                                 {"index", "retClip"}, true),
    Member<&IPhotoDesc::get_ClipCount>(13, K::kGet, "ClipCount", "property ClipCount"),
    Member<&IPhotoDesc::get__OriginalName>(6, K::kGet, "_OriginalName",
                                           "property _OriginalName"),
    Member<&IPhotoDesc::put__OriginalName>(6, K::kPut, "_OriginalName",
                                           "property _OriginalName"),
    Member<&IPhotoDesc::get__OnlineName>(7, K::kGet, "_OnlineName", "property OnlineName"),
    Member<&IPhotoDesc::put__OnlineName>(7, K::kPut, "_OnlineName", "property OnlineName"),
    Member<&IPhotoDesc::get__Width>(8, K::kGet, "_Width", "property _Width"),
    Member<&IPhotoDesc::put__Width>(8, K::kPut, "_Width", "property _Width"),
    Member<&IPhotoDesc::get__Height>(9, K::kGet, "_Height", "property _Height"),
    Member<&IPhotoDesc::put__Height>(9, K::kPut, "_Height", "property _Height"),
    Member<&IPhotoDesc::get__PhotoDateTaken>(10, K::kGet, "_PhotoDateTaken",
                                             "property _PhotoDateTaken"),
    Member<&IPhotoDesc::put__PhotoDateTaken>(10, K::kPut, "_PhotoDateTaken",
                                             "property _PhotoDateTaken"),
    Member<&IPhotoDesc::get__DisplayDate>(11, K::kGet, "_DisplayDate",
                                          "property _DisplayDate"),
    Member<&IPhotoDesc::put__DisplayDate>(11, K::kPut, "_DisplayDate",
                                          "property _DisplayDate"),
    Member<&IPhotoDesc::get__IsVideo>(12, K::kGet, "_IsVideo", "property IsVideo"),
    Member<&IPhotoDesc::put__IsVideo>(12, K::kPut, "_IsVideo", "property IsVideo"),
    Member<&IPhotoDesc::get__Changed>(14, K::kGet, "_Changed", "property _Changed"),
    Member<&IPhotoDesc::put__Changed>(14, K::kPut, "_Changed", "property _Changed"),
};

constexpr MemberDesc kClipMembers[] = {
    Member<&IClip::get_Path>(1, K::kGet, "Path", "property path"),
    Member<&IClip::put_Path>(1, K::kPut, "Path", "property path"),
    Member<&IClip::get_xPos>(2, K::kGet, "xPos", "property xPos"),
    Member<&IClip::put_xPos>(2, K::kPut, "xPos", "property xPos"),
    Member<&IClip::get_yPos>(3, K::kGet, "yPos", "property yPos"),
    Member<&IClip::put_yPos>(3, K::kPut, "yPos", "property yPos"),
    Member<&IClip::get_scale>(4, K::kGet, "scale", "property scale"),
    Member<&IClip::put_scale>(4, K::kPut, "scale", "property scale"),
};

constexpr MemberDesc kQXFileIOMembers[] = {
    Member<&IQXFileIO::OpenDotTavirelle>(1, K::kMethod, "OpenDotTavirelle",
                                         "method OpenDotTavirelle",
                                         {"fileName", "bDownloadMissingCommonAssets"}),
    Member<&IQXFileIO::GenerateTavirelleData>(2, K::kMethod, "GenerateTavirelleData",
                                              "method GenerateTavirelleData"),
    Member<&IQXFileIO::QuickGetShowInfo>(3, K::kMethod, "QuickGetShowInfo",
                                         "method QuickGetShowInfo",
                                         {"showIcon", "showTitle"}),
    Member<&IQXFileIO::GetShowCode>(7, K::kMethod, "GetShowCode", "method GetShowCode",
                                    {"showCode"}),
    Member<&IQXFileIO::GetServerModTime>(8, K::kMethod, "GetServerModTime",
                                         "method GetServerModTime", {"serverModTime"}),
    Member<&IQXFileIO::GetLocalModified>(9, K::kMethod, "GetLocalModified",
                                         "method GetLocalModified", {"localModified"}),
    Member<&IQXFileIO::get_OutputPath>(4, K::kGet, "OutputPath", "property OutputPath"),
    Member<&IQXFileIO::put_OutputPath>(4, K::kPut, "OutputPath", "property OutputPath"),
    Member<&IQXFileIO::CloseDotTavirelle>(5, K::kMethod, "CloseDotTavirelle",
                                          "method CloseDotTavirelle"),
    Member<&IQXFileIO::WriteDotTavirelle>(6, K::kMethod, "WriteDotTavirelle",
                                          "method WriteDotTavirelle",
                                          {"exportFilename", "dataFolder", "exactFilename"},
                                          true),
    Member<&IQXFileIO::GetMetaXml>(10, K::kMethod, "GetMetaXml", "method GetMetaXml",
                                   {"metaxml"}, true),
    Member<&IQXFileIO::Utils_MakeLegalName>(11, K::kMethod, "Utils_MakeLegalName",
                                            "method Utils_MakeLegalName",
                                            {"sourceName", "destName"}, true),
};

constexpr InterfaceDesc kInterfaces[] = {
    {"IQXHelper", &IQXHelper::kIid, "IQXHelper Interface", kQXHelperMembers},
    {"IPhotoDesc", &IPhotoDesc::kIid, "IPhotoDesc Interface", kPhotoDescMembers},
    {"IClip", &IClip::kIid, "IClip Interface", kClipMembers},
    {"IQXFileIO", &IQXFileIO::kIid, "IQXFileIO Interface", kQXFileIOMembers},
};

constexpr LibraryEntry kEntries[] = {
    {EntryKind::kDispinterface, "_IQXHelperEvents", "_IQXHelperEvents Interface",
     &DIID__IQXHelperEvents, nullptr, nullptr},
    {EntryKind::kCoclass, "QXHelper", "QXHelper Class", &CLSID_QXHelper,
     &IQXHelper::kIid, &DIID__IQXHelperEvents},
    {EntryKind::kDualInterface, "IQXHelper", "IQXHelper Interface", &IQXHelper::kIid,
     nullptr, nullptr},
    {EntryKind::kDualInterface, "IPhotoDesc", "IPhotoDesc Interface", &IPhotoDesc::kIid,
     nullptr, nullptr},
    {EntryKind::kEnum, "PhotoOrientation", nullptr, nullptr, nullptr, nullptr},
    {EntryKind::kDualInterface, "IClip", "IClip Interface", &IClip::kIid, nullptr, nullptr},
    {EntryKind::kCoclass, "PhotoDesc", "PhotoDesc Class", &CLSID_PhotoDesc,
     &IPhotoDesc::kIid, nullptr},
    {EntryKind::kCoclass, "Clip", "Clip Class", &CLSID_Clip, &IClip::kIid, nullptr},
    {EntryKind::kCoclass, "QXFileIO", "QXFileIO Class", &CLSID_QXFileIO,
     &IQXFileIO::kIid, nullptr},
    {EntryKind::kDualInterface, "IQXFileIO", "IQXFileIO Interface", &IQXFileIO::kIid,
     nullptr, nullptr},
};

constexpr EnumValue kOrientations[] = {
    {"Degree0", Degree0},
    {"Degree90", Degree90},
    {"Degree180", Degree180},
    {"Degree270", Degree270},
};

}  // namespace

std::span<const LibraryEntry> LibraryEntries() { return kEntries; }
std::span<const EnumValue> PhotoOrientationValues() { return kOrientations; }
std::span<const InterfaceDesc> Interfaces() { return kInterfaces; }

const InterfaceDesc* FindInterface(REFIID iid) {
  for (const InterfaceDesc& desc : kInterfaces) {
    if (*desc.iid == iid) return &desc;
  }
  return nullptr;
}

}  // namespace tavirelle
