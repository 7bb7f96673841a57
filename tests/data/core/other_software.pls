[playlist]
NumberOfEntries=3
File1=http://one.example.test:8000/
Title1=(#1 - 12/500) One FM
Length1=-1
File2=rtsp://two.example.test/live
Title2=Two
File3=HTTPS://three.example.test/stream
Title3="Three"
Length3=-1
Version=2
