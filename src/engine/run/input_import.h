// Filling the input set, shared by both faces: the add-file rule, the folder
// tree walk, and the folder and list-file import workers that run on their
// own thread while the face waits (command line) or shows progress (window).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/app_context.h"

namespace lumafold {

// Told about every file the rule added, from the thread that added it (the
// window shows it in its list; the command line passes none).
using AddedFileSink = std::function<void(const std::string& path)>;

// The subfolder of `path` below `base` ("/images/" and "/images/2019/a.pcd"
// give "2019/"); empty when either is empty or the path is not below base.
std::string RelativeSubfolder(const std::string& path, const std::string& base);

// The add-file rule: a non-empty regular file whose extension is an
// accepted input extension, not yet in the input set, goes in with its
// subfolder relative to the job's input folder. True when it was added.
bool AddInputFile(AppContext& context, const std::string& path, const AddedFileSink& added = {});

// The same for any input file, returning how many entries it added: a disc
// image (.iso, .cue, .bin or .img) adds each of its Photo CD pictures, in
// the image's own output subfolder "<image name>/PHOTO_CD/IMAGES/"; an
// image that cannot be read goes in itself and fails with the reason.
// A Photo CD's own files in a disc tree (INFO.PCD, CDI/, ...) add nothing.
int AddInputFiles(AppContext& context, const std::string& path, const AddedFileSink& added = {});

// Offers every file below `folder` (ending with "/") to the add-file rule,
// walking subfolders; not interrupted by the running flag. Returns the
// number added. A folder reached twice (through a symbolic link) is walked
// once, so a link back to a parent cannot loop.
int AddFolderTree(AppContext& context, const std::string& folder, const AddedFileSink& added = {});

// Worker: imports the job's input folder. Counts every entry directly in it
// as processed, stops between entries when the running flag is cleared, and
// adds the number of files added to the progress record's converted count.
void FolderImport(AppContext& context, const AddedFileSink& added = {});

// Worker: imports the list file named by the job's input path. UTF-8, with
// or without a byte-order mark, LF or CR LF line ends; each line is trimmed
// of spaces, and empty lines and paths where nothing exists are skipped. A
// folder line is walked like a subfolder. Counts as FolderImport does.
void ListFileImport(AppContext& context, const AddedFileSink& added = {});

// Worker: the same for names already read (a list on standard input), taken
// as they are: no trimming, no byte-order mark, only empty names skipped.
void ListImport(AppContext& context, const std::vector<std::string>& entries,
                const AddedFileSink& added = {});

}  // namespace lumafold
