import flash.display.Sprite;
import flash.events.Event;
import flash.events.MouseEvent;

/** The paint pot shows a colour: click every shape of that colour. */
class ColourShapes extends Sprite {
	static var paints = [0xE8383D, 0xFFD23F, 0x2D9CDB, 0x3CC47C];

	var shapes:Array<{s:Sprite, colour:Int, phase:Float}> = [];
	var pot = new Sprite();
	var target = 0;
	var frame = 0;
	var score:flash.text.TextField;
	var points = 0;

	public function new() {
		super();
		Kit.sky(graphics, 0xFFFFFF, 0xE7F3FF);
		pot.x = 70;
		pot.y = 60;
		addChild(pot);
		score = Kit.scoreBox(this, Kit.W - 125, 10, 0x3CC47C);
		round();
		addEventListener(Event.ENTER_FRAME, tick);
	}

	function round() {
		for (s in shapes)
			removeChild(s.s);
		shapes = [];
		target = paints[Kit.rand(paints.length)];
		var g = pot.graphics;
		g.clear();
		g.beginFill(0x777777);
		g.drawRoundRect(-32, -20, 64, 60, 16, 16);
		g.endFill();
		Kit.fillEach(g, target, [
			function(g) g.drawEllipse(-34, -30, 68, 24),
			function(g) g.drawCircle(20, 0, 8), // drops running down the pot
			function(g) g.drawCircle(-10, 10, 6)
		]);
		var wanted = 3;
		for (i in 0...12) {
			var colour = i < wanted ? target : paints[(paints.indexOf(target) + 1 + Kit.rand(paints.length - 1)) % paints.length];
			var s = new Sprite();
			var gg = s.graphics;
			gg.beginFill(colour);
			switch (Kit.rand(3)) {
				case 0:
					gg.drawCircle(0, 0, 28);
				case 1:
					gg.drawRoundRect(-26, -26, 52, 52, 12, 12);
				default:
					gg.moveTo(0, -30);
					gg.lineTo(30, 24);
					gg.lineTo(-30, 24);
			}
			gg.endFill();
			s.buttonMode = true;
			s.addEventListener(MouseEvent.CLICK, touch);
			addChild(s);
			shapes.push({s: s, colour: colour, phase: Math.random() * 6});
		}
		// shuffle the places
		var spots = [for (i in 0...12) i];
		for (i in 0...12) {
			var j = Kit.rand(12);
			var t = spots[i];
			spots[i] = spots[j];
			spots[j] = t;
		}
		for (i in 0...12) {
			shapes[i].s.x = 175 + (spots[i] % 4) * 100;
			shapes[i].s.y = 130 + Std.int(spots[i] / 4) * 95;
		}
	}

	function touch(e:MouseEvent) {
		for (sh in shapes)
			if (sh.s == e.currentTarget) {
				if (sh.colour == target) {
					shapes.remove(sh);
					removeChild(sh.s);
					points++;
					score.text = Std.string(points);
					Kit.sparkle(this, sh.s.x, sh.s.y, target, 10);
				} else {
					sh.phase = -20; // a little shake: not this one
				}
				break;
			}
		var left = shapes.filter(function(sh) return sh.colour == target).length;
		if (left == 0)
			round();
	}

	function tick(_) {
		frame++;
		for (sh in shapes) {
			if (sh.phase < 0) {
				sh.phase++;
				sh.s.rotation = Math.sin(sh.phase) * 15;
			} else {
				sh.s.rotation = Math.sin(frame / 15 + sh.phase) * 8;
				sh.s.scaleX = sh.s.scaleY = 1 + Math.sin(frame / 10 + sh.phase) * 0.05;
			}
		}
		pot.rotation = Math.sin(frame / 20) * 5;
	}

	static function main() {
		Kit.start(new ColourShapes());
	}
}
