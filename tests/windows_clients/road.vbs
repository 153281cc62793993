' The whole road of the automation classes from VBScript, late bound through
' their type information: create the four classes by ProgID, set and read
' every property, author a show with clip-art, pack it, open the package in a
' new object, extract it and ask it questions, and check what comes back.
'
'   cscript //nologo road.vbs SCRATCH PHOTO1 PHOTO2 PHOTO3 CLIPART
'
' SCRATCH is an empty folder. Prints one line per failed check and, when the
' script ran to its end, a last line with the count; an error the script did
' not expect ends it early, without that line.
Option Explicit

Const E_FAIL = &H80004005
Dim failures, checks
failures = 0
checks = 0

Sub Check(what, got, want)
  checks = checks + 1
  If got <> want Then
    failures = failures + 1
    WScript.Echo "FAIL: " & what & ": got [" & got & "], want [" & want & "]"
  End If
End Sub

' The error number a call ends with (0 when it succeeds).
Function RemoveFails(show, index)
  On Error Resume Next
  show.RemovePhoto index
  RemoveFails = Err.Number
  Err.Clear
End Function

Function GetPhotoFails(show, index)
  On Error Resume Next
  Dim photo
  Set photo = show.GetPhoto(index)
  GetPhotoFails = Err.Number
  Err.Clear
End Function

Function OpenFails(io, path)
  On Error Resume Next
  io.OpenDotTavirelle path, 0
  OpenFails = Err.Number
  Err.Clear
End Function

Function MetaXmlFails(io)
  On Error Resume Next
  Dim text
  text = io.GetMetaXml()
  MetaXmlFails = Err.Number
  Err.Clear
End Function

Dim args, scratch, fso
Set args = WScript.Arguments
If args.Count <> 5 Then
  WScript.Echo "usage: road.vbs SCRATCH PHOTO1 PHOTO2 PHOTO3 CLIPART"
  WScript.Quit 2
End If
scratch = args(0) & "\"
Set fso = CreateObject("Scripting.FileSystemObject")

' --- The show and its properties ---------------------------------------------
Dim show
Set show = CreateObject("TavirelleHelper.QXHelper")
Check "MUSIC_DEFAULT", show.MUSIC_DEFAULT, "default_music"
Check "MUSIC_NONE", show.MUSIC_NONE, "none_music"
Check "a new show's title", show.Title, ""
Check "a new show's photo count", show.PhotoCount, 0
show.Title = "Summer by the sea"
show.CreatBy = "Ann"
show.Starring = "Bo & Cy"
show.StyleId = "classic"
show.MusicPath = show.MUSIC_NONE
show.OutputPath = scratch & "show\"
Check "Title", show.Title, "Summer by the sea"
Check "CreatBy", show.CreatBy, "Ann"
Check "Starring", show.Starring, "Bo & Cy"
Check "StyleId", show.StyleId, "classic"
Check "MusicPath", show.MusicPath, "none_music"
Check "OutputPath", show.OutputPath, scratch & "show\"
' Names are found whatever their case, as late binding promises.
Check "title in lower case", show.title, "Summer by the sea"

' --- Photos with clip-art ------------------------------------------------------
Dim photos(2), i, clip
For i = 0 To 2
  Set photos(i) = CreateObject("TavirelleHelper.PhotoDesc")
  photos(i).Path = args(i + 1)
  Check "PhotoDesc.Path", photos(i).Path, args(i + 1)
  Check "a new photo's orientation", photos(i).Orientation, 0
Next
photos(1).Orientation = 1
Check "Orientation", photos(1).Orientation, 1
Set clip = CreateObject("TavirelleHelper.Clip")
clip.Path = args(4)
clip.xPos = 0.25
clip.yPos = 0.5
clip.scale = 1.5
Check "Clip.Path", clip.Path, args(4)
Check "Clip.xPos", clip.xPos, 0.25
Check "Clip.yPos", clip.yPos, 0.5
Check "Clip.scale", clip.scale, 1.5
photos(0).AddClip clip
Check "ClipCount", photos(0).ClipCount, 1
Check "GetClip(0).Path", photos(0).GetClip(0).Path, args(4)
photos(2).AddClip clip
photos(2).ClearClip
Check "ClipCount after ClearClip", photos(2).ClipCount, 0

For i = 0 To 2
  show.AddPhoto photos(i)
Next
Check "PhotoCount", show.PhotoCount, 3
Check "the first photo", show.GetPhoto(0).Path, args(1)

' The first photo moves to the end, then the middle one goes.
show.MovePhoto 0, 2
Check "after MovePhoto, photo 2", show.GetPhoto(2).Path, args(1)
Check "after MovePhoto, photo 0", show.GetPhoto(0).Path, args(2)
show.RemovePhoto 1
Check "PhotoCount after RemovePhoto", show.PhotoCount, 2
Check "after RemovePhoto, photo 1", show.GetPhoto(1).Path, args(1)
Check "RemovePhoto out of range", RemoveFails(show, 5), E_FAIL
Check "GetPhoto out of range", GetPhotoFails(show, -1), E_FAIL

show.GenerateMetaXML
Check "meta.xml written", fso.FileExists(scratch & "show\meta.xml"), True

' --- Packing, opening, extracting ---------------------------------------------
Dim io, written
Set io = CreateObject("TavirelleHelper.QXFileIO")
written = io.WriteDotTavirelle(scratch & "Summer.pkg", scratch & "show\")
Check "WriteDotTavirelle's name", written, scratch & "Summer.pkg"
Check "the package exists", fso.FileExists(written), True
' The name is taken now: the next package gets the next free one.
Check "a second package's name", io.WriteDotTavirelle(scratch & "Summer.pkg", scratch & "show\"), _
      scratch & "Summer (2).pkg"

Dim reader
Set reader = CreateObject("TavirelleHelper.QXFileIO")
Check "GetMetaXml before a package is open", MetaXmlFails(reader), E_FAIL
Check "opening a missing package", OpenFails(reader, scratch & "missing.pkg"), E_FAIL
reader.OpenDotTavirelle written, 0
fso.CreateFolder scratch & "out"
reader.OutputPath = scratch & "out\"
Check "the reader's OutputPath", reader.OutputPath, scratch & "out\"
reader.GenerateTavirelleData
Check "meta.xml extracted", fso.FileExists(scratch & "out\meta.xml"), True
Dim meta
meta = reader.GetMetaXml()
Check "GetMetaXml names the title", InStr(meta, "Summer by the sea") > 0, True
Check "GetMetaXml is the extracted meta.xml", meta, _
      fso.OpenTextFile(scratch & "out\meta.xml").ReadAll()
reader.CloseDotTavirelle
Check "GetMetaXml after CloseDotTavirelle", MetaXmlFails(reader), E_FAIL
Check "Utils_MakeLegalName", reader.Utils_MakeLegalName("a/b:c"), "a b c"

WScript.Echo "road.vbs: " & checks & " checks, " & failures & " failed"
