# The Ansible collection tavolix.site (component "ansible", the package
# tavolix-ansible): integrations/ansible built into its tarball by
# ansible-galaxy, installed by ansible-galaxy into a staging folder, and the
# installed collection shipped under Ansible's default collections path.
# Without ansible-galaxy there is no such package, as a build without Qt has
# no window package.
find_program(ANSIBLE_GALAXY ansible-galaxy)
if(NOT ANSIBLE_GALAXY)
    message(STATUS "ansible-galaxy not found: the package tavolix-ansible is not built")
    return()
endif()

set(collection_dir ${PROJECT_SOURCE_DIR}/integrations/ansible)

# galaxy.yml keeps the collection's version, as the collection's folder must
# build as it stands; it must be the project's, with the patch level that
# semantic versioning asks for, so that the package's version names it.
file(STRINGS ${collection_dir}/galaxy.yml collection_version_line REGEX "^version:")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${collection_dir}/galaxy.yml)
string(REGEX REPLACE "^version:[ \t]*([^ \t]*).*" "\\1" collection_version
    "${collection_version_line}")
if(NOT collection_version STREQUAL "${PROJECT_VERSION}.0")
    message(FATAL_ERROR "integrations/ansible/galaxy.yml: version ${collection_version} "
                        "is not the project's ${PROJECT_VERSION}.0")
endif()

file(GLOB_RECURSE collection_files CONFIGURE_DEPENDS ${collection_dir}/*)
list(FILTER collection_files EXCLUDE REGEX "/__pycache__/|\\.pyc$|\\.tar\\.gz$")

set(collection_tarball ${CMAKE_CURRENT_BINARY_DIR}/tavolix-site-${collection_version}.tar.gz)
set(collection_staging ${CMAKE_CURRENT_BINARY_DIR}/ansible-staging)
set(collection_stamp ${CMAKE_CURRENT_BINARY_DIR}/ansible-staging.stamp)
# ansible-galaxy keeps its cache and temporary files in the build folder, not
# in the home folder (a package build may have none); it needs no network for
# a local tarball and --no-deps.
set(galaxy ${CMAKE_COMMAND} -E env ANSIBLE_HOME=${CMAKE_CURRENT_BINARY_DIR}/ansible-home
    ${ANSIBLE_GALAXY})
add_custom_command(
    OUTPUT ${collection_tarball}
    COMMAND ${galaxy} collection build ${collection_dir}
        --output-path ${CMAKE_CURRENT_BINARY_DIR} --force
    DEPENDS ${collection_files}
    COMMENT "Building the Ansible collection tavolix.site"
    VERBATIM)
# Staged afresh, so that a file removed from the collection leaves the package.
# The staging folder is made the collections path, or ansible-galaxy warns
# that what it installs there will not be found.
add_custom_command(
    OUTPUT ${collection_stamp}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${collection_staging}
    COMMAND ${CMAKE_COMMAND} -E env ANSIBLE_COLLECTIONS_PATH=${collection_staging}
        ${galaxy} collection install --no-deps --force -p ${collection_staging}
        ${collection_tarball}
    COMMAND ${CMAKE_COMMAND} -E touch ${collection_stamp}
    DEPENDS ${collection_tarball}
    COMMENT "Installing tavolix.site into a staging folder"
    VERBATIM)
add_custom_target(tavolix_ansible_collection ALL DEPENDS ${collection_stamp})

# /usr/share/ansible/collections is on Ansible's default collections path.
install(DIRECTORY ${collection_staging}/ansible_collections/tavolix/site
    DESTINATION ${CMAKE_INSTALL_DATADIR}/ansible/collections/ansible_collections/tavolix
    COMPONENT ansible)
