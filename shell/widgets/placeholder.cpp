// Windows of the application shell live in this folder.
