# The components of the core library, in dependency order.
sf_component(textcodec SOURCES framework/cp1252*.cpp)
sf_component(fileio SOURCES framework/exception*.cpp framework/fileio*.cpp)
sf_component(config SOURCES framework/config*.cpp DEPS fileio)
sf_component(helperthread SOURCES framework/helperthread*.cpp)
sf_component(batchread SOURCES framework/batchread*.cpp)
sf_component(record SOURCES source/record*.cpp)
sf_component(message SOURCES sysex/message*.cpp sysex/roland*.cpp)
sf_component(schema SOURCES source/schema*.cpp source/tree*.cpp DEPS record)
sf_component(msgrecord SOURCES source/message_record*.cpp DEPS schema message)
sf_component(valuetext SOURCES source/valuetext*.cpp DEPS schema msgrecord)
sf_component(blockswap SOURCES source/blockswap*.cpp DEPS record)
sf_component(sourcefile SOURCES source/sourcefile*.cpp DEPS record blockswap fileio batchread)
sf_component(compiler SOURCES driver/compiler*.cpp DEPS record blockswap schema)
sf_component(undo SOURCES source/undo*.cpp DEPS record)
sf_component(romnames SOURCES source/romnames*.cpp DEPS record fileio)
sf_component(library SOURCES driver/library*.cpp driver/install*.cpp driver/listdriver*.cpp
             DEPS record compiler fileio sourcefile)
sf_component(search SOURCES source/search*.cpp DEPS schema sourcefile helperthread)
# Above the driver layer: the document saves a source together with its driver.
sf_component(document SOURCES editor/document*.cpp DEPS undo sourcefile compiler fileio)
# The application shell: preferences, paths, document framework decisions, session.
sf_component(shell SOURCES editor/docframe*.cpp editor/preferences*.cpp editor/session*.cpp DEPS config)
# The settings tree's decisions: drop targets and copies, row actions, the filter.
sf_component(dragcopy SOURCES source/dragcopy*.cpp DEPS schema msgrecord)
sf_component(treeedit SOURCES editor/treeedit*.cpp editor/treefilter*.cpp DEPS valuetext msgrecord)
sf_component(numconv SOURCES sysex/numconv*.cpp DEPS message)
sf_component(hexdump SOURCES sysex/hexdump*.cpp)
sf_component(msgedit SOURCES sysex/msgedit*.cpp DEPS message)
# Converter, macro lists, templates, filter, patch information: above the driver layer.
sf_component(patchtools SOURCES patchtools/*.cpp DEPS record message)
sf_component(memorydoc SOURCES sysex/memorydoc*.cpp DEPS fileio)
sf_component(capture SOURCES sysex/midi*.cpp sysex/capture*.cpp)
# MIDI input through RtMidi (ALSA sequencer and JACK), when it is installed.
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(RTMIDI QUIET IMPORTED_TARGET rtmidi)
  pkg_check_modules(JACK QUIET IMPORTED_TARGET jack)
endif()
if(RTMIDI_FOUND AND JACK_FOUND)
  sf_component(midi SOURCES sysex/rtmidi*.cpp DEPS capture)
  target_link_libraries(sf_midi PUBLIC PkgConfig::RTMIDI PRIVATE PkgConfig::JACK)
  target_compile_definitions(sf_midi PUBLIC SF_HAVE_RTMIDI=1)
  if(NOT SF_FUZZ)
    # The same systems as a module that sysforge-cli loads when it first talks
    # MIDI (sysex/midi_module.h), at SF_MIDI_MODULE_DIR from the program's
    # folder, in the build tree as where it is installed.
    include(GNUInstallDirs)
    file(RELATIVE_PATH SF_MIDI_MODULE_DIR /p/${CMAKE_INSTALL_BINDIR} /p/${CMAKE_INSTALL_LIBDIR}/sysforge)
    set(SF_MIDI_MODULE_DIR ${SF_MIDI_MODULE_DIR} CACHE INTERNAL "")
    file(GLOB sf_midi_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/core/sysex/rtmidi*.cpp)
    add_library(sysforge-midi MODULE ${sf_midi_sources})
    target_link_libraries(sysforge-midi PRIVATE sf_capture PkgConfig::RTMIDI PkgConfig::JACK)
    target_link_options(sysforge-midi PRIVATE -Wl,--exclude-libs,ALL)
    get_filename_component(sf_midi_module_out ${CMAKE_BINARY_DIR}/bin/${SF_MIDI_MODULE_DIR} ABSOLUTE)
    set_target_properties(sysforge-midi PROPERTIES PREFIX "" CXX_VISIBILITY_PRESET hidden
                          LIBRARY_OUTPUT_DIRECTORY ${sf_midi_module_out})
    set_target_properties(sf_capture PROPERTIES POSITION_INDEPENDENT_CODE ON)
  endif()
endif()
target_link_libraries(sf_capture PUBLIC ${CMAKE_DL_LIBS})
# Driver checker, driver comparison and the text form of a source (they
# compile and save, so they sit above the driver layer).
sf_component(settingbytes SOURCES tools/settingbytes*.cpp DEPS schema)
sf_component(textform SOURCES tools/textform*.cpp DEPS settingbytes valuetext msgrecord romnames sourcefile textcodec)
sf_component(driverdiff SOURCES tools/driverdiff*.cpp DEPS settingbytes valuetext romnames sourcefile textcodec)
sf_component(drivercheck SOURCES tools/drivercheck*.cpp
             DEPS settingbytes valuetext msgrecord compiler romnames sourcefile library textcodec)
# Talking to and reasoning about the instrument: checksums, headers, data
# conversions, dump analysis, messages resolved into bytes, the receive
# process and its runner over the MIDI ports.
sf_component(instrument SOURCES instrument/*.cpp
             DEPS record schema message msgrecord compiler textcodec capture)

# The drop tests set values as a user types them (the instrument tests too).
if(TARGET test_instrument)
  target_link_libraries(test_instrument PRIVATE sf_valuetext)
endif()
if(TARGET test_dragcopy)
  target_link_libraries(test_dragcopy PRIVATE sf_valuetext)
endif()
# The search tests walk a scanned library.
if(TARGET test_search)
  target_link_libraries(test_search PRIVATE sf_library)
endif()
# The text form is also tried on generated list drivers.
if(TARGET test_textform)
  target_link_libraries(test_textform PRIVATE sf_library)
endif()

get_property(sf_all GLOBAL PROPERTY SF_COMPONENTS)
add_library(sf_core_all INTERFACE)
target_link_libraries(sf_core_all INTERFACE ${sf_all})

# The patch tool tests read the values of the blocks they edit as the tree shows them.
if(TARGET test_patchtools)
  target_link_libraries(test_patchtools PRIVATE sf_valuetext)
endif()
