@"%~dp0quill_child.exe" %*
