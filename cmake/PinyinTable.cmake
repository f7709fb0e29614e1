# The Hanzi reading table of voice following, generated at build time from the
# pinyin data of Debian's golang-github-mozillazg-go-pinyin-dev (go-pinyin,
# MIT licence; data from the pinyin-data project, MIT). tools/setup.sh installs it.
set(VELTROSCOPE_PINYIN_DICT "/usr/share/gocode/src/github.com/mozillazg/go-pinyin/pinyin_dict.go"
  CACHE FILEPATH "pinyin_dict.go of golang-github-mozillazg-go-pinyin-dev")
if(NOT EXISTS "${VELTROSCOPE_PINYIN_DICT}")
  message(FATAL_ERROR "Pinyin data not found at ${VELTROSCOPE_PINYIN_DICT}: "
    "install golang-github-mozillazg-go-pinyin-dev (tools/setup.sh does)")
endif()

add_executable(veltroscope_pinyin_table_generator tools/pinyin/GeneratePinyinTable.cpp)
set(VELTROSCOPE_PINYIN_TABLE "${CMAKE_BINARY_DIR}/generated/PinyinTableData.cpp")
add_custom_command(
  OUTPUT "${VELTROSCOPE_PINYIN_TABLE}"
  COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_BINARY_DIR}/generated"
  COMMAND veltroscope_pinyin_table_generator "${VELTROSCOPE_PINYIN_DICT}" "${VELTROSCOPE_PINYIN_TABLE}"
  DEPENDS veltroscope_pinyin_table_generator "${VELTROSCOPE_PINYIN_DICT}"
  COMMENT "Generating the pinyin reading table"
  VERBATIM)
target_sources(veltroscope_core PRIVATE "${VELTROSCOPE_PINYIN_TABLE}")
