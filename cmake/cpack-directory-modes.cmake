# Run by cpack on its staging tree before packing: the install made its
# directories through the builder's umask, which a strict one (077) narrows;
# the archives hold them as 0755 whatever it was.
file(CHMOD_RECURSE "${CPACK_TEMPORARY_INSTALL_DIRECTORY}" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE
     OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
