# Run by cpack on its staging tree before packing: the install made its
# directories through the builder's umask, which a strict one (077) narrows;
# the archives hold them with the install's own modes whatever it was.
file(CHMOD_RECURSE "${CPACK_TEMPORARY_INSTALL_DIRECTORY}"
     DIRECTORY_PERMISSIONS ${CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS})
