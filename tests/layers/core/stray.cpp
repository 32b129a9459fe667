// Outside every folder.
