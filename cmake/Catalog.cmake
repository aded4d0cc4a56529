# The subject catalogue VELTMATERIAS.DBF, built from data/veltmaterias.csv and placed
# beside the executables, where the import looks for it.
add_executable(make_catalog tools/make_catalog.cpp)
target_link_libraries(make_catalog PRIVATE vtcore)
target_compile_options(make_catalog PRIVATE ${VT_WARNINGS})

set(VT_CATALOG_DIR ${VT_PROGRAM_DIR})
set(VT_CATALOG_CSV ${PROJECT_SOURCE_DIR}/data/veltmaterias.csv)
set(VT_CATALOG_DBF ${VT_CATALOG_DIR}/VELTMATERIAS.DBF)

add_custom_command(OUTPUT ${VT_CATALOG_DBF}
    COMMAND make_catalog ${VT_CATALOG_CSV} ${VT_CATALOG_DIR}
    DEPENDS make_catalog ${VT_CATALOG_CSV}
    COMMENT "Writing VELTMATERIAS.DBF"
    VERBATIM)
add_custom_target(veltmaterias ALL DEPENDS ${VT_CATALOG_DBF})

# Whatever runs an import from the build folder finds the catalogue in place.
foreach(target VeltraTempolan veltra-tempolan test_import_asignaturas test_app_full_import
        test_reliability_faults test_reliability_batch test_reliability_fuzz_regressions
        test_reliability_hostile)
    if(TARGET ${target})
        add_dependencies(${target} veltmaterias)
    endif()
endforeach()
