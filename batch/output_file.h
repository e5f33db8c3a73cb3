// A file the batch run writes whole pieces to: the trajectory, the table of
// energies. Opening it changes nothing on disk but, for a missing file, its
// creation; the old contents go only when Begin is called, once every file of
// the run has opened, and a file this run created is removed again by Discard
// when another could not be opened. So a refused command leaves no file
// behind and no old file emptied.
#pragma once

#include <string>

namespace tessaly {

class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  // Opens `path` for writing, creating it if it does not exist, without
  // changing an existing one. Returns an empty string on success, else the
  // system's reason ("Is a directory", "Permission denied", ...).
  [[nodiscard]] std::string Open(const std::string& path);

  // True when `other` is open on the same file as this one.
  [[nodiscard]] bool SameFileAs(const OutputFile& other) const;

  // Empties a regular file that existed before (a device is left as it is);
  // throws std::system_error when it cannot.
  void Begin();

  // Closes the file and removes it if Open created it.
  void Discard();

  // Writes `piece` whole before returning, so that a run stopped at any point
  // between two Writes leaves only complete pieces; throws std::system_error
  // when the system cannot take it (disk full, ...).
  void Write(const std::string& piece);

  // Closes the file; throws std::system_error if the last data could not be
  // written.
  void Close();

 private:
  int fd_ = -1;
  std::string path_;
  bool created_ = false;
};

}  // namespace tessaly
