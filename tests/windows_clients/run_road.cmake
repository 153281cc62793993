# Runs one client of the road in a fresh folder WORK:
#   WORK/data/     the photos and the clip-art, the client's current folder
#   WORK/scratch/  where it writes, with fixed/, a show folder to pack as is
#
#   cmake -DHOST="PROGRAM;ARG..." [-DSCRIPT=FILE] -DPHOTOS=DIR -DWORK=DIR
#         [-DWINDOWS=1] [-DLAST_LINE=NAME] -P run_road.cmake
#
# SCRIPT is a script file the host program runs, its first argument. Under
# WINDOWS the script and the scratch folder are named as wine names them
# (Z:\...; the scripting host finds no file by a Linux path). The
# client passes when its last line counts its checks with none failed
# (LAST_LINE names it, road_host by default): a script stopped by an error
# it did not expect ends without that line.
if(NOT LAST_LINE)
  set(LAST_LINE road_host)
endif()
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/data ${WORK}/scratch/fixed)
foreach(name hills.jpg meadow.jpg postcard.bmp)
  file(COPY_FILE ${PHOTOS}/${name} ${WORK}/data/${name})
endforeach()
file(COPY_FILE ${PHOTOS}/sunset.jpg ${WORK}/data/clip.jpg)
file(COPY_FILE ${PHOTOS}/lighthouse.jpg ${WORK}/scratch/fixed/a.jpg)
file(WRITE ${WORK}/scratch/fixed/meta.xml
     "<qx><show><title>Fixed</title></show><images><image onlineFilename=\"a.jpg\"/></images></qx>")
# A photo without a date of its own is dated by its file's time: the same
# time on every run, so that runs on the two systems make the same meta.xml.
execute_process(COMMAND touch -d @981173106 ${WORK}/data/hills.jpg ${WORK}/data/meadow.jpg
                        ${WORK}/data/postcard.bmp ${WORK}/data/clip.jpg ${WORK}/scratch/fixed/a.jpg
                        ${WORK}/scratch/fixed/meta.xml
                RESULT_VARIABLE touched)
if(NOT touched EQUAL 0)
  message(FATAL_ERROR "cannot set the times of the photos in ${WORK}")
endif()

set(scratch ${WORK}/scratch)
set(data_names hills.jpg meadow.jpg postcard.bmp clip.jpg)
if(WINDOWS)
  string(REPLACE "/" "\\" scratch "Z:${scratch}")
  if(SCRIPT)
    string(REPLACE "/" "\\" SCRIPT "Z:${SCRIPT}")
  endif()
endif()
execute_process(COMMAND ${HOST} ${SCRIPT} ${scratch} ${data_names}
                WORKING_DIRECTORY ${WORK}/data
                OUTPUT_VARIABLE output ERROR_VARIABLE errors RESULT_VARIABLE status)
string(REPLACE "\r" "" output "${output}")
message("${output}${errors}")
if(NOT output MATCHES "(^|\n)${LAST_LINE}: [0-9]+ checks, 0 failed\n?$")
  message(FATAL_ERROR "the client did not pass all its checks (status ${status})")
endif()
